#pragma once
// One simulated DC on virtual time and the procedures' world around it: the link, a recording
// surface, the PC's clock, a fresh program folder and the update session. Shared by the profile,
// update and campaign tests; the controller's tests use SimulatedHost instead.

#include <cstdint>
#include <vector>

#include "dcsim/SimulatedDc.h"
#include "dcsim/SimulatedLink.h"
#include "firmware/FirmwareImage.h"
#include "link/protocol/CommModule.h"
#include "link/protocol/VirtualClock.h"
#include "tests/support/RecordingSurface.h"
#include "tests/support/TempFolder.h"
#include "update/Session.h"

namespace verno {

// A DC that takes the version and revision the firmware brings.
inline dcsim::DcConfig DcTakingVersionOf(const firmware::FirmwareImage& fw, dcsim::DcConfig config) {
    dcsim::TakeVersionFrom(fw, config);
    return config;
}

struct SimulatedSession {
    explicit SimulatedSession(firmware::FirmwareImage image, dcsim::DcConfig config = {}, dcsim::DcFaults faults = {})
        : fw(std::move(image)), dc(DcTakingVersionOf(fw, std::move(config)), faults), link(dc, clock),
          comm(link, clock, link) {
        link.Attach(comm);
        comm.SizeReceiveBuffersForMemory(fw.DcMemoryBlocks);
        NewSession();
    }

    // A new program run against the same DC and folder: a fresh session, KeepProfile and
    // ProfileSafe set as Next sets them.
    void NewSession() {
        session = std::make_unique<update::Session>(comm, clock, link, fw, ui, wall, *files, dir.path(),
                                                    [this](std::uint32_t c) {
                                                        priorities.push_back(c);
                                                        return c;
                                                    });
        ui.onResetStage = [this] { priorities.push_back(0x20); };
        session->Profile().StartAttempt();
    }

    // Frames the DC took in (payloads left out) with that command byte.
    int Count(std::uint8_t command) const {
        int n = 0;
        for (const auto& f : dc.Received()) n += !f.payload && f.bytes[0] == command;
        return n;
    }
    std::vector<std::uint8_t> Commands() const {
        std::vector<std::uint8_t> out;
        for (const auto& f : dc.Received())
            if (!f.payload) out.push_back(f.bytes[0]);
        return out;
    }
    const dcsim::ReceivedFrame* First(std::uint8_t command, link::Seconds after = link::Seconds(-1)) const {
        for (const auto& f : dc.Received())
            if (!f.payload && f.bytes[0] == command && f.at > after) return &f;
        return nullptr;
    }
    const dcsim::ReceivedFrame* Last(std::uint8_t command) const {
        const auto& all = dc.Received();
        for (auto it = all.rbegin(); it != all.rend(); ++it)
            if (!it->payload && it->bytes[0] == command) return &*it;
        return nullptr;
    }
    std::vector<std::uint8_t> Bytes(std::size_t fromByte, std::size_t toByte) const {
        const auto& m = dc.Memory();
        return {m.begin() + static_cast<std::ptrdiff_t>(fromByte), m.begin() + static_cast<std::ptrdiff_t>(toByte)};
    }

    TempFolder dir;
    firmware::FirmwareImage fw;
    link::VirtualClock clock;
    dcsim::SimulatedDc dc;
    dcsim::SimulatedLink link;
    link::CommModule comm;
    RecordingSurface ui;
    FixedWallClock wall;
    platform::SystemFiles systemFiles;
    platform::FileSystem* files = &systemFiles;  // a test may put a faulty disk in front
    std::vector<std::uint32_t> priorities;
    std::unique_ptr<update::Session> session;
};

}  // namespace verno
