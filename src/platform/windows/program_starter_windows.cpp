#include "platform/program_starter.h"

#include "platform/windows/wide_text.h"

#include <windows.h>

#include <string>

namespace norvane::platform {

// The path goes to CreateProcessW as the application name, which the system takes as the
// program file itself and never splits at blanks: "C:\Program Files\x.exe" can't start
// "C:\Program.exe". The command line the program sees is the same path, quoted, with no
// arguments (a Windows path can't contain a quote).
bool SystemProgramStarter::start(const std::string& path) {
    if (path.empty()) return false;
    const std::wstring application = windows::wide(path);
    std::wstring commandLine = L"\"" + application + L"\"";

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

}  // namespace norvane::platform
