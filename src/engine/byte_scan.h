#pragma once

#include "engine/gap_array.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <span>

namespace norvane {

inline std::size_t countByte(std::span<const char> bytes, char value) {
    return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), value));
}

// Calls visit(position) for every occurrence of `value` in the text, in order.
template <class Visitor>
void forEachByte(const GapArray<char>& text, char value, Visitor&& visit) {
    std::size_t offset = 0;
    for (std::span<const char> run : {text.beforeGap(), text.afterGap()}) {
        const char* begin = run.data();
        const char* end = begin + run.size();
        for (const char* at = begin; at < end; ++at) {
            at = static_cast<const char*>(std::memchr(at, value, static_cast<std::size_t>(end - at)));
            if (!at) break;
            visit(offset + static_cast<std::size_t>(at - begin));
        }
        offset += run.size();
    }
}

}  // namespace norvane
