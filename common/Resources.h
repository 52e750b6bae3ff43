#pragma once
// The program's built-in string resources, in one place.

#include <string_view>

namespace verno::resources {

// 201: firmware file | reserved | program started at Close | language code.
inline constexpr std::string_view kConfigurationRecord = "VERNO.1B.FWR|||5000";

// 20001: brand | model family | 512 | 6978 | required version, optionally followed by a revision.
inline constexpr std::string_view kDeviceIdentityRecord = "DORV|VERNO|512|6978|1A";

// 10001: the catalogue password. The SQLite catalogue has no password; the value is kept so that
// a store that needs one can use it.
inline constexpr std::string_view kCataloguePassword = "v3rN0-1b.CatalogueKy";

// The catalogue's file name in the program's folder.
inline constexpr std::string_view kCatalogueFileName = "FirmwareUpdate.lng";

}  // namespace verno::resources
