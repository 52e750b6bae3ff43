// verno-fuzz-replay TARGET FILE: runs one raw input (a libFuzzer crash or corpus file) through
// a target and prints it as a kept regression case, "# expect:" line and hex, to add to
// fuzz/regressions once the fault is fixed. TARGET: firmware, backup or receive.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "fuzz/KeptInput.h"

int main(int argc, char** argv) {
    if (argc != 3 || verno::fuzz::TargetNamed(argv[1]) == nullptr) {
        std::fprintf(stderr, "usage: verno-fuzz-replay firmware|backup|receive FILE\n");
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "verno-fuzz-replay: cannot read %s\n", argv[2]);
        return 1;
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string account = verno::fuzz::TargetNamed(argv[1])(bytes);
    std::cout << verno::fuzz::FormatKeptInput(bytes, account);
    return 0;
}
