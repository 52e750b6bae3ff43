#pragma once
// Reading the DC's memory where the profile lies. A memory read's reply carries no checksum: one
// wrong byte on the line would go into the backup, back into the DC and into the history, and
// the run would call itself a success. So every block is read until two reads agree.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "link/protocol/CommModule.h"
#include "profile/ProfileSession.h"

namespace verno::profile {

// Reads of one block before it is given up as unreliable.
inline constexpr int kReadsPerBlock = 5;

enum class BlockRead {
    Ok,
    NotRead,     // a read got no reply
    Unreliable,  // every read differed from every other
};

struct ReadBlock {
    BlockRead status = BlockRead::NotRead;
    std::array<std::uint8_t, link::kBlockBytes> bytes{};
};

ReadBlock ReadBlockAgreed(link::CommModule& comm, std::uint16_t unit);
// The block when two reads agreed; nullopt otherwise.
std::optional<std::array<std::uint8_t, link::kBlockBytes>> ReadBlockTwice(link::CommModule& comm, std::uint16_t unit);

enum class ProfileReadOutcome {
    Read,
    Empty,       // the header's pointers are equal: there is no profile to read
    Unfit,       // a damaged header: its range would run past the table
    NotRead,     // a block did not come in
    Unreliable,  // a block never came in the same way twice
};

struct ProfileRead {
    ProfileReadOutcome outcome = ProfileReadOutcome::NotRead;
    std::unique_ptr<ProfileImage> image;  // Read only
    int failedBlock = 0;                  // 1-based, for NotRead and Unreliable
};

// Reads the profile that the header in block 0 describes, under a backup row of its own that
// shows each block's percentage and ends Done (the row is left for the caller's failure rows
// otherwise). Empty and Unfit add no row.
ProfileRead ReadProfile(ProfileSession& s, const Block0Bytes& block0);

}  // namespace verno::profile
