#include "platform/legacy_code_page.h"

namespace norvane::platform {

// POSIX systems name no legacy code page; Windows-1252 is the one most text files come in.
const CodePageTable& legacyCodePage() { return windows1252(); }

}  // namespace norvane::platform
