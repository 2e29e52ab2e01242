#include "platform/legacy_code_page.h"

namespace norvane::platform {

const CodePageTable& windows1252() {
    static const CodePageTable table = [] {
        // 0x80 to 0x9F; every other byte is the code point of the same number.
        constexpr char16_t High[32] = {
            0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
            0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
            0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
        CodePageTable result{};
        for (unsigned byte = 0; byte < result.size(); ++byte)
            result[byte] = byte >= 0x80 && byte <= 0x9F ? High[byte - 0x80] : byte;
        return result;
    }();
    return table;
}

}  // namespace norvane::platform
