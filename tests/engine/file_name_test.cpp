#include "engine/file_name.h"

#include <gtest/gtest.h>

#include <string>

namespace norvane {
namespace {

TEST(FileName, IsWhatFollowsTheLastSeparator) {
    struct Case {
        std::string_view path;
        char separator;
        std::string_view name;
    };
    const Case cases[] = {
        {R"(C:\dir\file.txt)", '\\', "file.txt"},
        {"c:/dir/file.txt", '\\', "c:/dir/file.txt"},  // only the given separator separates
        {"/home/me/file.txt", '/', "file.txt"},
        {R"(C:\dir\file.txt)", '/', R"(C:\dir\file.txt)"},
        {R"(\\server\share\a b.txt)", '\\', "a b.txt"},
        {"file.txt", '\\', "file.txt"},
        {R"(C:\dir\)", '\\', ""},
        {"/home/me/", '/', ""},
        {"", '\\', ""},
    };
    for (const Case& c : cases) EXPECT_EQ(GetFileName(c.path, c.separator), c.name) << c.path;
}

TEST(FileName, LooksBackOver255CharactersAtMost) {
    // Names of one-byte and of two-byte characters: the limit counts characters.
    for (std::string_view alphabet : {"abcdefghijklmnopqrstuvwxyz0123456789", "\xC3\xA0\xC3\xA1\xC3\xA2\xC3\xA3"}) {
        const std::size_t width = alphabet[0] & 0x80 ? 2 : 1;
        for (std::size_t length : {0, 1, 254, 255, 256, 400}) {
            std::string name;
            for (std::size_t i = 0; i < length; ++i) name += alphabet.substr(width * i % alphabet.size(), width);
            const std::string last255 = length <= 255 ? name : name.substr(width * (length - 255));
            SCOPED_TRACE(std::to_string(length) + " characters of " + std::to_string(width) + " bytes");
            EXPECT_EQ(GetFileName(R"(C:\dir\)" + name, '\\'), length <= 254 ? name : last255);
            EXPECT_EQ(GetFileName("/home/" + name, '/'), length <= 254 ? name : last255);
            EXPECT_EQ(GetFileName(name, '\\'), last255);  // no separator at all
        }
    }
}

TEST(CommandLine, LosesOneQuoteAtEachEnd) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {R"("C:\My Files\b.txt")", R"(C:\My Files\b.txt)"},
        {R"("C:\a.txt)", R"(C:\a.txt)"},
        {R"(C:\a.txt")", R"(C:\a.txt)"},
        {R"(C:\a "b" c.txt)", R"(C:\a "b" c.txt)"},
        {R"("a"b")", R"(a"b)"},
        {R"(""")", R"(")"},
        {R"("")", ""},
        {R"(")", ""},  // a lone quote is an empty command line
        {"", ""},
        {R"( "a.txt" )", R"( "a.txt" )"},  // not trimmed
        {"a.txt b.txt", "a.txt b.txt"},    // one path, spaces and all
    };
    for (auto [commandLine, path] : cases) EXPECT_EQ(unquoteCommandLine(commandLine), path) << commandLine;
}

}  // namespace
}  // namespace norvane
