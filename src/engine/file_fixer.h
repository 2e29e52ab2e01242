#pragma once

#include <cstddef>
#include <filesystem>

namespace norvane {

// Fixes a file without a window, exactly as opening it, "Fix File" and "Save File" do:
// loads it in its own format, turns every LF into CR LF and saves it atomically with the
// same closing CR LF rule. Returns the number of LFs fixed. On failure the file is left
// as it was and platform::FileError (or std::bad_alloc) passes on.
std::size_t fixFile(const std::filesystem::path& path);

}  // namespace norvane
