#pragma once
// The Windows family names the cable lookup tells apart.

#include <cstdint>
#include <string>

namespace verno::link {

// "Windows95", "Windows98", "WindowsNT", "Windows2000" or empty, from the version record's
// platform id and major/minor version.
std::string OsNameFromVersion(std::uint32_t platformId, std::uint32_t majorVersion, std::uint32_t minorVersion);

#ifdef _WIN32
std::string GetOSName();
#endif

}  // namespace verno::link
