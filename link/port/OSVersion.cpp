#include "link/port/OSVersion.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace verno::link {

std::string OsNameFromVersion(std::uint32_t platformId, std::uint32_t majorVersion, std::uint32_t minorVersion) {
    switch (platformId) {
        case 0:  // Win32s
        case 2:  // the NT family, every later version included
            return "WindowsNT";
        case 1:
            if (majorVersion == 5) return "Windows2000";
            if (majorVersion < 4 || (majorVersion == 4 && minorVersion == 0)) return "Windows95";
            return "Windows98";
        default:
            return "";
    }
}

#ifdef _WIN32
std::string GetOSName() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);  // 148
    if (!GetVersionExA(&info)) return "";
    return OsNameFromVersion(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}
#endif

}  // namespace verno::link
