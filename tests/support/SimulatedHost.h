#pragma once
// The machine around the wizard in a test: a simulated DC on virtual time behind the cable, the
// bundle's catalogue, a firmware file in a fresh program folder, and the program's end recorded
// instead of carried out. Shared by the controller, window and campaign tests.

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "dcsim/SimulatedDc.h"
#include "dcsim/SimulatedLink.h"
#include "firmware/FirmwareFile.h"
#include "firmware/FirmwarePacker.h"
#include "link/protocol/VirtualClock.h"
#include "tests/support/RecordingSurface.h"
#include "tests/support/TempFolder.h"
#include "wizard/Host.h"

namespace verno {

inline std::vector<std::uint8_t> DemoFirmwareFile(int area1Blocks = 20) {
    return firmware::PackFirmware(firmware::DemoFirmware(firmware::Layout::Area1Only, area1Blocks, 0));
}

// A DC that takes the version the firmware file brings.
inline dcsim::DcConfig DcFor(const std::vector<std::uint8_t>& file, dcsim::DcConfig config = {}) {
    dcsim::TakeVersionFrom(firmware::DecodeFirmware(file).image, config);
    return config;
}

class SimulatedHost final : public wizard::Host {
public:
    explicit SimulatedHost(dcsim::DcConfig config = {}, dcsim::DcFaults faults = {},
                           std::vector<std::uint8_t> firmwareFile = DemoFirmwareFile())
        : dc(DcFor(firmwareFile, std::move(config)), faults), link(dc, clock) {
        std::ofstream(folder.path() / "VERNO.1B.FWR", std::ios::binary)
            .write(reinterpret_cast<const char*>(firmwareFile.data()), static_cast<std::streamsize>(firmwareFile.size()));
    }

    link::Port& Port() override { return link; }
    link::Pump& Pump() override { return link; }
    link::MonotonicClock& Clock() override { return clock; }
    void Attach(link::CommModule& comm) override { link.Attach(comm); }
    void WatchCable(link::CableWatch* watch) override { link.Watch(watch); }
    std::optional<std::string> FindPort() override {
        if (cablesMissing > 0) {
            --cablesMissing;
            return std::nullopt;
        }
        return "sim";
    }
    link::PortOpenResult OpenPort(const std::string&) override {
        trace.push_back("open port");
        if (onOpenPort) onOpenPort();
        return link::PortOpenResult::Opened();
    }
    void ClosePort() override { trace.push_back("close port"); }

    const WallClock& Wall() override { return wall; }
    std::uint32_t SetPriority(std::uint32_t priorityClass) override {
        priorities.push_back(priorityClass);
        return priorityClass;
    }

    std::string_view ConfigurationRecord() override { return record; }
    std::optional<int> DesktopLanguageColumn() override { return desktopLanguage; }
    std::filesystem::path ProgramFolder() override { return folder.path(); }
    std::filesystem::path CatalogueFile() override { return catalogueFile; }
    std::filesystem::path FirmwareFile(const std::filesystem::path& name) override { return folder.path() / name; }
    std::filesystem::path UserFirmwareFolder() override { return folder.path(); }
    std::filesystem::path BackupFolder() override { return folder.path(); }
    platform::FileSystem& Files() override { return *files; }
    platform::StayAwake& Awake() override { return awakeLog; }

    void StartProgram(const std::filesystem::path& program) override {
        started.push_back(program);
        trace.push_back("start program");
    }
    void EndProgram(int status) override {
        ++ends;
        exitStatus = status;
        trace.push_back("end");
        if (onEnd) onEnd();
    }

    // Each hold and release of the system's sleep, with the frames the DC had heard by then.
    class AwakeLog final : public platform::StayAwake {
    public:
        explicit AwakeLog(SimulatedHost& host) : host_(host) {}
        void Hold(const std::string& why) override { events.push_back("hold (" + why + ") " + Heard()); }
        void Release() override { events.push_back("release " + Heard()); }
        std::vector<std::string> events;

    private:
        std::string Heard() const {
            return "after " + std::to_string(host_.dc.Counters(0xB5).frames) + " B5, " +
                   std::to_string(host_.dc.Counters(0xB2).frames) + " B2";
        }
        SimulatedHost& host_;
    };

    TempFolder folder;
    link::VirtualClock clock;
    dcsim::SimulatedDc dc;
    dcsim::SimulatedLink link;
    FixedWallClock wall;
    platform::SystemFiles systemFiles;
    platform::FileSystem* files = &systemFiles;  // a test may put a faulty disk in front
    std::string record = "VERNO.1B.FWR|||5000";
    std::filesystem::path catalogueFile = VERNO_CATALOGUE_FILE;
    std::optional<int> desktopLanguage;  // none: the record's language
    int cablesMissing = 0;  // searches that find no cable before it appears
    std::vector<std::uint32_t> priorities;
    std::vector<std::filesystem::path> started;
    std::vector<std::string> trace;
    int ends = 0;
    int exitStatus = -1;
    std::function<void()> onOpenPort;
    std::function<void()> onEnd;
    AwakeLog awakeLog{*this};
};

}  // namespace verno
