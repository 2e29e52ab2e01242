// A helper program for the program-start tests: it writes "started.txt" beside itself, in
// UTF-8, holding the path it runs from and, on a second line, the command line it was given.
// So a test can tell which program a start ran, and with what.

#include <windows.h>

#include <string>

namespace {

std::string utf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                           nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

}  // namespace

int main() {
    std::wstring self(32768, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    const std::wstring marker = self.substr(0, self.find_last_of(L'\\')) + L"\\started.txt";
    const std::string text = utf8(self) + "\n" + utf8(::GetCommandLineW());
    const HANDLE file = ::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const bool done = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                      written == text.size();
    ::CloseHandle(file);
    return done ? 0 : 1;
}
