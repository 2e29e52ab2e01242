#include "platform/console_output.h"

#include <windows.h>

#include <cstdio>
#include <iostream>

namespace norvane::platform {
namespace {

// A stream goes nowhere when its handle is missing or names no file, pipe or console.
bool unconnected(DWORD stream) {
    const HANDLE handle = ::GetStdHandle(stream);
    return handle == nullptr || handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) == FILE_TYPE_UNKNOWN;
}

}  // namespace

ConsoleOutput::ConsoleOutput() {
    const bool output = unconnected(STD_OUTPUT_HANDLE), error = unconnected(STD_ERROR_HANDLE);
    if (!output && !error) return;
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;  // started from no console
    if (output) std::freopen("CONOUT$", "w", stdout);
    if (error) std::freopen("CONOUT$", "w", stderr);
    std::cout.clear();
    std::cerr.clear();
    previousCodePage_ = ::GetConsoleOutputCP();
    ::SetConsoleOutputCP(CP_UTF8);
}

ConsoleOutput::~ConsoleOutput() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    if (previousCodePage_ != 0) ::SetConsoleOutputCP(previousCodePage_);
}

}  // namespace norvane::platform
