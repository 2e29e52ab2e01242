#include "platform/program_arguments.h"

#include "platform/windows/wide_text.h"

#include <shellapi.h>

namespace norvane::platform {

// argv holds the arguments in the ANSI code page, which can't name every file: they are
// taken from the wide command line instead.
std::vector<std::string> programArguments(int, char**) {
    int count = 0;
    wchar_t** wideArguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    if (!wideArguments) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(windows::narrow(wideArguments[i]));
    ::LocalFree(wideArguments);
    return arguments;
}

}  // namespace norvane::platform
