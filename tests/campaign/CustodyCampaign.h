#pragma once
// The custody campaign: seeded random sequences of program runs through the real controller,
// against simulated DCs on virtual time and the real disk behind a faulty one. A sequence mixes
// updates, restores of files and the recoveries at Close with faults at any exchange and at any
// file operation, the process ending anywhere, every answer at every question, dives between
// runs, a second DC of the same serial number and a backup file whose serial record is damaged.
// After every step the invariants of custody are checked:
//
//   - every profile that a DC held at the start of a run, and every profile a file held, is in
//     that DC or byte for byte in a file on disk (unless the diver replaced it by diving);
//   - no run reports success unless the DC holds the profile that run wrote back;
//   - no file the program did not make is changed or removed, nor a file chosen for a restore;
//   - files are their owner's alone, and no temporary file is left after a run that ended.
//
// A broken one names the seed and the step: the same seed replays the same sequence.

#include <cstdint>
#include <string>

namespace verno::campaign {

struct CustodyTally {
    int steps = 0;
    int updates = 0;
    int restores = 0;
    int processesEnded = 0;  // runs that ended where they stood
    int recoveries = 0;      // recoveries at Close that wrote the profile back
    int succeeded = 0;       // runs that reported success
    int dives = 0;
    int swaps = 0;
};

// Runs one sequence of `steps` steps; the first invariant it breaks, empty when none. `trace`
// gets a line per step.
std::string RunCustodySequence(std::uint64_t seed, int steps, CustodyTally& tally, std::string* trace = nullptr);

}  // namespace verno::campaign
