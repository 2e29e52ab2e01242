#include "engine/title_line.h"
#include "engine/version_text.h"
#include "identity/identity.h"

#include <gtest/gtest.h>

namespace norvane {
namespace {

TEST(Identity, OneVersionWrittenThreeWays) {
    EXPECT_EQ(identity::Title, "Norvane");
    EXPECT_EQ(titleNoFile(identity::Version), "Norvane v2.1 - [No File]");
    EXPECT_EQ(fullVersionText(identity::Version), "2.1.0");
    EXPECT_EQ(identity::FileVersion, "2.01");
    EXPECT_EQ(identity::ProductVersion, "2.01");
}

TEST(Identity, VersionTextsOfOtherNumbers) {
    struct Case {
        VersionNumbers version;
        std::string_view shortText, fullText;
    };
    const Case cases[] = {
        {{2, 10, 0}, "2.10", "2.10.0"},
        {{2, 1, 3}, "2.1", "2.1.3"},
        {{0, 0, 0}, "0.0", "0.0.0"},
        {{65535, 65535, 65535}, "65535.65535", "65535.65535.65535"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shortVersionText(c.version), c.shortText);
        EXPECT_EQ(fullVersionText(c.version), c.fullText);
    }
    EXPECT_EQ(titleNoFile({2, 10, 4}), "Norvane v2.10 - [No File]");
}

TEST(TitleLine, NoFileLoadedAndFixed) {
    const VersionNumbers version = identity::Version;
    EXPECT_EQ(titleNoFile(version), "Norvane v2.1 - [No File]");
    EXPECT_EQ(titleLoaded(version, "a.txt"), "Norvane v2.1 - [a.txt]");
    EXPECT_EQ(titleFixed(version, "a.txt"), "Norvane v2.1 - [a.txt] - Fixed");
    EXPECT_EQ(titleLoaded(version, "[x] caf\xC3\xA9 .txt"), "Norvane v2.1 - [[x] caf\xC3\xA9 .txt]");
}

}  // namespace
}  // namespace norvane
