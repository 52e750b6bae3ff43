// libFuzzer's entry point; VERNO_FUZZ_BODY names the body this binary fuzzes.

#include <cstddef>
#include <cstdint>

#include "fuzz/Targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    verno::fuzz::VERNO_FUZZ_BODY(std::span<const std::uint8_t>(data, size));
    return 0;
}
