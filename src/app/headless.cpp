#include "app/headless.h"

#include "engine/file_fixer.h"
#include "engine/version_text.h"
#include "identity/identity.h"
#include "platform/file_io.h"
#include "platform/system_conventions.h"

#include <new>
#include <ostream>
#include <variant>

namespace norvane::app {
namespace {

constexpr std::string_view Usage =
    "Usage: norvane [FILE]\n"
    "       norvane --fix FILE...\n"
    "Repairs text files whose lines end in a bare LF (line feed) so that every line ends in\n"
    "CR LF, as Windows programs expect.\n"
    "\n"
    "  FILE           open FILE in the window; the whole command line names one file\n"
    "  --fix FILE...  fix and save each FILE without a window, as Fix File then Save File\n"
    "                 would; prints one line a file\n"
    "  --help         show this help and exit\n"
    "  --version      show the version and exit\n"
    "  --             end of options: `norvane -- --fix` opens the file named --fix\n"
    "\n"
    "Every LF becomes CR LF, also one that already follows a CR: do not fix a file that\n"
    "already uses CR LF. A file that can't be read or saved is left exactly as it was.\n"
    "\n"
    "Exit status: 0 if all went well, 1 if a file could not be fixed, 2 for a bad command line.\n";

// Fixes one file and reports it; returns whether it was fixed.
bool fixAndReport(const std::string& file, std::ostream& out, std::ostream& err) {
    try {
        const std::size_t lineFeeds = fixFile(platform::pathFromText(file));
        out << file << ": " << lineFeeds << (lineFeeds == 1 ? " line feed" : " line feeds") << " fixed\n";
        return true;
    } catch (const platform::FileError& error) {
        err << file << ": not fixed: " << error.what() << '\n';
    } catch (const std::bad_alloc&) {
        err << file << ": not fixed: not enough memory\n";
    }
    return false;
}

int fixFiles(const FixFiles& command, std::ostream& out, std::ostream& err) {
    bool allFixed = true;
    for (const std::string& file : command.files) allFixed = fixAndReport(file, out, err) && allFixed;
    return allFixed ? ExitSuccess : ExitSomeFileFailed;
}

}  // namespace

int runHeadless(const Command& command, std::ostream& out, std::ostream& err) {
    if (const auto* fix = std::get_if<FixFiles>(&command)) return fixFiles(*fix, out, err);
    if (std::holds_alternative<ShowHelp>(command)) {
        out << Usage;
        return ExitSuccess;
    }
    if (std::holds_alternative<ShowVersion>(command)) {
        out << identity::Title << ' ' << fullVersionText(identity::Version) << '\n';
        return ExitSuccess;
    }
    if (const auto* usage = std::get_if<UsageError>(&command)) {
        err << "norvane: " << usage->message << '\n' << Usage.substr(0, Usage.find("Repairs")) << "Try 'norvane --help' for more information.\n";
        return ExitUsage;
    }
    err << "norvane: opening a file needs the window\n";  // OpenWindow is not run here
    return ExitUsage;
}

}  // namespace norvane::app
