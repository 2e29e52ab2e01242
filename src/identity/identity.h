#pragma once

#include "identity/version_numbers.h"
#include "norvane/version_record.h"

#include <string_view>

// The program's identity, fixed at build time and read by every window.
namespace norvane::identity {

inline constexpr std::string_view Title = NORVANE_TITLE;

inline constexpr VersionNumbers Version{NORVANE_VERSION_MAJOR, NORVANE_VERSION_MINOR,
                                        NORVANE_VERSION_REVISION};
inline constexpr std::uint16_t Major = Version.major;
inline constexpr std::uint16_t Minor = Version.minor;
inline constexpr std::uint16_t Revision = Version.revision;

// Fields of the executable's version record.
inline constexpr std::string_view Comments = NORVANE_RECORD_COMMENTS;
inline constexpr std::string_view CompanyName = NORVANE_RECORD_COMPANY_NAME;
inline constexpr std::string_view FileDescription = NORVANE_RECORD_FILE_DESCRIPTION;
inline constexpr std::string_view LegalCopyright = NORVANE_RECORD_LEGAL_COPYRIGHT;
inline constexpr std::string_view ProductName = NORVANE_RECORD_PRODUCT_NAME;
inline constexpr std::string_view FileVersion = NORVANE_RECORD_VERSION_TEXT;
inline constexpr std::string_view ProductVersion = NORVANE_RECORD_VERSION_TEXT;
inline constexpr std::string_view InternalName = NORVANE_RECORD_INTERNAL_NAME;
inline constexpr std::string_view OriginalFilename = NORVANE_RECORD_ORIGINAL_FILENAME;

}  // namespace norvane::identity
