#include "app/headless.h"

#include "engine/document_file.h"
#include "engine/file_fixer.h"
#include "engine/text_encoding.h"
#include "engine/version_text.h"
#include "identity/identity.h"
#include "platform/file_io.h"
#include "platform/system_conventions.h"

#include <new>
#include <span>
#include <string>
#include <ostream>
#include <variant>
#include <vector>

namespace norvane::app {
namespace {

constexpr std::string_view Usage =
    "Usage: norvane [FILE]\n"
    "       norvane --fix FILE...\n"
    "       norvane --check FILE...\n"
    "Repairs text files whose lines end in a bare LF (line feed) so that every line ends in\n"
    "CR LF, as Windows programs expect.\n"
    "\n"
    "  FILE           open FILE in the window; the whole command line names one file\n"
    "  --fix FILE...  fix and save each FILE without a window: every LF that has no CR\n"
    "                 before it becomes CR LF and the file ends in CR LF; prints one\n"
    "                 line a file. Fixing a file again changes nothing\n"
    "  --check FILE...  say for each FILE whether it holds bare LFs, and how many;\n"
    "                 changes nothing\n"
    "  --help         show this help and exit\n"
    "  --version      show the version and exit\n"
    "  --             end of options: `norvane -- --fix` opens the file named --fix\n"
    "\n"
    "In the window, Fix File turns every LF into CR LF, also one that already follows a\n"
    "CR: do not fix a file there that already uses CR LF. A file that can't be read or\n"
    "saved, or that another program changes meanwhile, is left exactly as it was.\n"
    "\n"
    "Exit status: 0 if all went well, 1 if a file could not be fixed, 2 for a bad command line.\n"
    "--check: 0 if no FILE holds a bare LF, 1 if one does, 2 if one can't be read.\n"
    "\n"
    "Norvane is free software under the GNU GPL, version 3 or later; it comes with no warranty.\n";

// A file name as it can be printed: control characters, which could move the cursor,
// retitle the terminal or forge lines, and bytes that are not UTF-8 are shown as escapes.
std::string printable(const std::string& name) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string shown;
    for (std::size_t at = 0; at < name.size();) {
        const DecodedCharacter character =
            decodeCharacter(TextEncoding::Utf8, std::span<const char>(name).subspan(at));
        const char32_t c = character.codePoint;
        if (character.valid && c >= 0x20 && (c < 0x7F || c > 0x9F)) {
            shown.append(name, at, character.length);
        } else {
            for (std::size_t i = 0; i < character.length; ++i) {
                const auto byte = static_cast<unsigned char>(name[at + i]);
                shown.append("\\x").append(1, Hex[byte >> 4]).append(1, Hex[byte & 0xF]);
            }
        }
        at += character.length;
    }
    return shown;
}

int runFix(const FixFiles& command, std::ostream& out, std::ostream& err) {
    std::vector<std::filesystem::path> paths;
    for (const std::string& file : command.files) paths.push_back(platform::pathFromText(file));
    bool allFixed = true;
    fixFiles(paths, [&](std::size_t index, const FixOutcome& outcome) {
        const std::string name = printable(command.files[index]);
        if (const auto& fixed = outcome.fixed) {
            if (fixed->sameFileAs)
                out << name << ": the same file as " << printable(platform::pathText(*fixed->sameFileAs))
                    << ", fixed once\n";
            else
                out << name << ": " << fixed->lineFeeds << (fixed->lineFeeds == 1 ? " line feed" : " line feeds")
                    << " fixed\n";
            return;
        }
        allFixed = false;
        try {
            std::rethrow_exception(outcome.failure);
        } catch (const platform::FileError& error) {
            err << name << ": not fixed: " << printable(error.what()) << '\n';
        } catch (const std::bad_alloc&) {
            err << name << ": not fixed: not enough memory\n";
        } catch (const std::exception& error) {
            err << name << ": not fixed: " << printable(error.what()) << '\n';
        }
    });
    return allFixed ? ExitSuccess : ExitSomeFileFailed;
}

// Says of each file whether it holds bare LFs; a FIFO or device is refused at once.
int runCheck(const CheckFiles& command, std::ostream& out, std::ostream& err) {
    int status = ExitSuccess;
    for (const std::string& file : command.files) {
        const std::string name = printable(file);
        try {
            const std::size_t bare = bareLineFeedCount(loadDocument(platform::pathFromText(file)));
            if (bare == 0) {
                out << name << ": no bare line feeds\n";
                continue;
            }
            out << name << ": " << bare << (bare == 1 ? " bare line feed\n" : " bare line feeds\n");
            if (status == ExitSuccess) status = ExitSomeFileFailed;
        } catch (const std::bad_alloc&) {
            err << name << ": not checked: not enough memory\n";
            status = ExitUsage;
        } catch (const std::exception& error) {
            err << name << ": not checked: " << printable(error.what()) << '\n';
            status = ExitUsage;
        }
    }
    return status;
}

}  // namespace

int runHeadless(const Command& command, std::ostream& out, std::ostream& err) {
    if (const auto* fix = std::get_if<FixFiles>(&command)) return runFix(*fix, out, err);
    if (const auto* check = std::get_if<CheckFiles>(&command)) return runCheck(*check, out, err);
    if (std::holds_alternative<ShowHelp>(command)) {
        out << Usage;
        return ExitSuccess;
    }
    if (std::holds_alternative<ShowVersion>(command)) {
        out << identity::Title << ' ' << fullVersionText(identity::Version) << '\n'
            << "Licence: GNU GPL version 3 or later <https://www.gnu.org/licenses/gpl.html>\n";
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
