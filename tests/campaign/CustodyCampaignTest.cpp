// The custody campaign: many seeded sequences of runs, each step followed by the invariants of
// custody. VERNO_CAMPAIGN_SEQUENCES, VERNO_CAMPAIGN_SEED and VERNO_CAMPAIGN_STEPS choose how
// many sequences run, from which seed, and how long each is (scripts/campaign sets them);
// VERNO_CAMPAIGN_TRACE=1 prints every step.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/campaign/CustodyCampaign.h"

namespace verno::campaign {
namespace {

long Setting(const char* name, long fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::strtol(value, nullptr, 10) : fallback;
}

TEST(CustodyCampaign, NoSequenceOfRunsLosesAProfileOrClaimsToHaveWrittenItBack) {
    const long sequences = Setting("VERNO_CAMPAIGN_SEQUENCES", 500);
    const auto first = static_cast<std::uint64_t>(Setting("VERNO_CAMPAIGN_SEED", 1));
    const int steps = static_cast<int>(Setting("VERNO_CAMPAIGN_STEPS", 12));
    const auto began = std::chrono::steady_clock::now();
    CustodyTally tally;
    int failures = 0;
    for (long i = 0; i < sequences && failures < 3; ++i) {
        const std::uint64_t seed = first + static_cast<std::uint64_t>(i);
        std::string trace;
        const std::string failed = RunCustodySequence(seed, steps, tally, &trace);
        if (Setting("VERNO_CAMPAIGN_TRACE", 0) != 0) std::printf("seed %llu\n%s", static_cast<unsigned long long>(seed), trace.c_str());
        if (failed.empty()) continue;
        ++failures;
        ADD_FAILURE() << "seed " << seed << ", " << failed << "\n(replay: scripts/campaign --sequences 1 --seed " << seed
                      << ")\n" << trace;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("%ld sequences from seed %llu, %d steps: %d updates, %d restores, %d processes ended, %d recoveries, "
                "%d successes, %d dives, %d swaps; %.1f s\n",
                sequences, static_cast<unsigned long long>(first), tally.steps, tally.updates, tally.restores,
                tally.processesEnded, tally.recoveries, tally.succeeded, tally.dives, tally.swaps, seconds);
    EXPECT_GT(tally.succeeded, 0) << "a campaign where nothing succeeds proves nothing";
    EXPECT_GT(tally.recoveries + tally.processesEnded, 0);
}

}  // namespace
}  // namespace verno::campaign
