#pragma once

#include <optional>
#include <span>

namespace norvane {

// Whether `bytes` are valid UTF-8, checked 16 bytes at a time; nothing where the processor
// lacks the instructions, and the caller checks the sequences one by one instead.
std::optional<bool> isValidUtf8ByBlocks(std::span<const char> bytes);

}  // namespace norvane
