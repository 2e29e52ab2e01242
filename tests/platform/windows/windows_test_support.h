#pragma once

// Helpers for the tests that run on Windows (here under Wine): the system's own programs run
// to their end, the registry written with reg.exe, and a watch on the processes this test
// program starts.

#include "platform/windows/wide_text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace norvane::test::windows {

using platform::windows::narrow;
using platform::windows::wide;

constexpr DWORD ProgramTimeout = 120'000;  // milliseconds; a bound for hangs, not a measurement

inline bool sameText(std::wstring_view a, std::wstring_view b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

inline std::wstring systemFolder() {
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, length);
}

// The folder of this test program, where the build puts its helper programs too.
inline std::wstring programFolder() {
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L'\\'));
}

// `argument` quoted so that a program's command-line parser gives it back unchanged.
inline std::wstring asArgument(std::wstring_view argument) {
    std::wstring result = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        result.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        result += c;
    }
    result.append(2 * backslashes, L'\\');
    return result + L"\"";
}

// Runs `program` with `arguments`, its output discarded, and returns its exit code once it
// has ended.
inline DWORD runToEnd(const std::wstring& program, const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const HANDLE nowhere = ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         &inheritable, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nowhere;
    std::wstring commandLine = asArgument(program) + L" " + arguments;
    PROCESS_INFORMATION process{};
    const bool started = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                          CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    ::CloseHandle(nowhere);
    if (!started) {
        ADD_FAILURE() << "cannot start " << narrow(program);
        return ~DWORD{0};
    }
    DWORD code = ~DWORD{0};
    if (::WaitForSingleObject(process.hProcess, ProgramTimeout) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(process.hProcess, &code);
    else
        ADD_FAILURE() << narrow(program) << " did not end";
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

// The system's registry tool, as `wine reg ...` runs it. Returns its exit code: 0 for done.
inline DWORD reg(const std::wstring& arguments) { return runToEnd(systemFolder() + L"\\reg.exe", arguments); }

// Every program this test program starts from its first use on belongs to one job, whose
// messages say which processes began and which ended.
class StartedPrograms {
public:
    struct Event {
        DWORD message;  // JOB_OBJECT_MSG_NEW_PROCESS, JOB_OBJECT_MSG_EXIT_PROCESS, ...
        DWORD processId;
    };

    static StartedPrograms& watch() {
        static StartedPrograms instance;
        return instance;
    }

    // The next event, waiting for it at most `milliseconds`; nothing when none came. A new
    // process is announced while the program that starts it is still inside CreateProcess,
    // so with no waiting this tells whether a process was started.
    std::optional<Event> next(DWORD milliseconds = ProgramTimeout) {
        DWORD message = 0;
        ULONG_PTR key = 0;
        OVERLAPPED* detail = nullptr;
        if (!::GetQueuedCompletionStatus(port_, &message, &key, &detail, milliseconds)) return std::nullopt;
        return Event{message, static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(detail))};
    }

    // Forgets the events so far.
    void clear() {
        while (next(0)) {
        }
    }

    // The process that a start just made, if it made one: the first new process among the
    // events so far. Ends of earlier processes may be announced late and are passed over.
    std::optional<DWORD> newProcess() {
        while (const auto event = next(0))
            if (event->message == JOB_OBJECT_MSG_NEW_PROCESS) return event->processId;
        return std::nullopt;
    }

    // Waits until the process `id` has ended.
    bool waitForEnd(DWORD id) {
        while (const auto event = next()) {
            if (event->processId == id && (event->message == JOB_OBJECT_MSG_EXIT_PROCESS ||
                                           event->message == JOB_OBJECT_MSG_ABNORMAL_EXIT_PROCESS))
                return true;
        }
        return false;
    }

private:
    StartedPrograms() {
        job_ = ::CreateJobObjectW(nullptr, nullptr);
        port_ = ::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
        JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{job_, port_};
        if (!job_ || !port_ ||
            !::SetInformationJobObject(job_, JobObjectAssociateCompletionPortInformation, &association,
                                       sizeof association) ||
            !::AssignProcessToJobObject(job_, ::GetCurrentProcess()))
            ADD_FAILURE() << "cannot watch started programs: error " << ::GetLastError();
        clear();  // this program's own arrival
    }

    HANDLE job_ = nullptr;
    HANDLE port_ = nullptr;
};

// The full path of the program running as process `id`, while it runs.
inline std::optional<std::wstring> imageOf(HANDLE process) {
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!::QueryFullProcessImageNameW(process, 0, path.data(), &size)) return std::nullopt;
    path.resize(size);
    return path;
}

}  // namespace norvane::test::windows
