// Whether the cable's converter is plugged in without a serial port: Windows then lists the USB
// device, but no COM port for it, until the converter's driver is installed.
#include "link/port/FindInterfacePort.h"

#include <array>

#include <windows.h>
#include <setupapi.h>

namespace verno::link {

namespace {

bool CableDevicePresent() {
    const HDEVINFO devices = SetupDiGetClassDevsW(nullptr, L"USB", nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) return false;
    bool present = false;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; !present && SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        // Two nulls kept free at the end: a list cut short still ends as a list.
        std::array<wchar_t, 512> ids{};
        const auto room = static_cast<DWORD>((ids.size() - 2) * sizeof(wchar_t));
        if (SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_HARDWAREID, nullptr,
                                              reinterpret_cast<BYTE*>(ids.data()), room, nullptr))
            present = NamesCable(std::wstring_view(ids.data(), ids.size()));
    }
    SetupDiDestroyDeviceInfoList(devices);
    return present;
}

}  // namespace

bool CableWithoutDriver() { return FindCablePorts().empty() && CableDevicePresent(); }

}  // namespace verno::link
