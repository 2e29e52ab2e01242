#include "platform/legacy_code_page.h"

namespace norvane::platform {

// POSIX systems name no legacy code page; Windows-1252 is the one most text files come in.
const LegacyCodePage& legacyCodePage() {
    static const LegacyCodePage codePage{windows1252(), {}, {}};
    return codePage;
}

}  // namespace norvane::platform
