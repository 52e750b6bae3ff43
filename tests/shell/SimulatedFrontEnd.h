#pragma once
// The window's world in a test: a simulated DC on virtual time behind the link, the bundle's
// catalogue, a firmware file in a fresh program folder, message boxes answered from a script, and
// the program's end recorded instead of carried out.

#include <deque>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "dcsim/SimulatedDc.h"
#include "dcsim/SimulatedLink.h"
#include "firmware/FirmwareFile.h"
#include "firmware/FirmwarePacker.h"
#include "link/port/TestInterface.h"
#include "link/protocol/VirtualClock.h"
#include "shell/FrontEnd.h"
#include "tests/profile/RecordingSurface.h"
#include "tests/profile/TempFolder.h"

namespace verno::shell {

struct ShownMessage {
    QWidget* parent;
    std::string title;
    std::string text;
    MessageIcon icon;
    MessageButtons buttons;
};

class ScriptedDialogs final : public Dialogs {
public:
    std::vector<ShownMessage> shown;
    std::deque<MessageAnswer> answers;  // when exhausted: Ok for a plain box, else Cancel / No
    std::function<void(const ShownMessage&)> onShow;

    MessageAnswer Show(QWidget* parent, const std::string& title, const std::string& text, MessageIcon icon,
                       MessageButtons buttons) override {
        shown.push_back({parent, title, text, icon, buttons});
        if (onShow) onShow(shown.back());
        if (!answers.empty()) {
            const MessageAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
    }
};

inline std::vector<std::uint8_t> DemoFirmwareFile(int area1Blocks = 20) {
    return firmware::PackFirmware(firmware::DemoFirmware(firmware::Layout::Area1Only, area1Blocks, 0));
}

inline dcsim::DcConfig DcFor(const std::vector<std::uint8_t>& file, dcsim::DcConfig config = {}) {
    const auto decoded = firmware::DecodeFirmware(file);
    dcsim::TakeVersionFrom(decoded.image, config);
    return config;
}

class SimulatedFrontEnd final : public FrontEnd {
public:
    explicit SimulatedFrontEnd(dcsim::DcConfig config = {}, dcsim::DcFaults faults = {},
                               std::vector<std::uint8_t> firmwareFile = DemoFirmwareFile())
        : dc(DcFor(firmwareFile, std::move(config)), faults), link(dc, clock) {
        std::ofstream(folder.path() / "VERNO.1B.FWR", std::ios::binary)
            .write(reinterpret_cast<const char*>(firmwareFile.data()), static_cast<std::streamsize>(firmwareFile.size()));
    }

    link::Port& Port() override { return link; }
    link::Pump& Pump() override { return link; }
    link::MonotonicClock& Clock() override { return clock; }
    void Attach(link::CommModule& comm) override { link.Attach(comm); }
    std::optional<std::string> OpenInterface(WizardSurface& surface) override {
        trace.push_back("open interface");
        if (onOpenInterface) onOpenInterface();
        return link::TestInterface(
            surface,
            [this]() -> std::optional<std::string> {
                if (cablesMissing > 0) {
                    --cablesMissing;
                    return std::nullopt;
                }
                return "sim";
            },
            [](const std::string&) { return link::PortOpenResult{true, "", false, ""}; });
    }

    Dialogs& MessageBoxes() override { return dialogs; }
    const WallClock& Wall() override { return wall; }
    std::uint32_t SetPriority(std::uint32_t priorityClass) override {
        priorities.push_back(priorityClass);
        return priorityClass;
    }

    std::string_view ConfigurationRecord() override { return record; }
    std::filesystem::path ProgramFolder() override { return folder.path(); }
    std::filesystem::path CatalogueFile() override { return catalogueFile; }

    void StartProgram(const std::filesystem::path& program) override {
        started.push_back(program);
        trace.push_back("start program");
    }
    void EndProgram() override {
        ++ends;
        trace.push_back("end");
        if (onEnd) onEnd();
    }

    TempFolder folder;
    link::VirtualClock clock;
    dcsim::SimulatedDc dc;
    dcsim::SimulatedLink link;
    ScriptedDialogs dialogs;
    FixedWallClock wall;
    std::string record = "VERNO.1B.FWR|||5000";
    std::filesystem::path catalogueFile = VERNO_CATALOGUE_FILE;
    int cablesMissing = 0;  // searches that find no cable before it appears
    std::vector<std::uint32_t> priorities;
    std::vector<std::filesystem::path> started;
    std::vector<std::string> trace;
    int ends = 0;
    std::function<void()> onOpenInterface;
    std::function<void()> onEnd;
};

}  // namespace verno::shell
