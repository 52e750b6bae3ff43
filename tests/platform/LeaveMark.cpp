// Started by the tests of StartProgram: writes the folder it finds itself in (UTF-8) into
// "started" there, complete or not at all.
#include <filesystem>
#include <fstream>
#include <string>

#include "common/ProgramFolder.h"

int main() {
    const std::filesystem::path folder = verno::ProgramFolder();
    const std::u8string text = folder.u8string();
    {
        std::ofstream out(folder / "started.tmp", std::ios::binary);
        out.write(reinterpret_cast<const char*>(text.data()), static_cast<std::streamsize>(text.size()));
        if (!out) return 1;
    }
    std::error_code ec;
    std::filesystem::rename(folder / "started.tmp", folder / "started", ec);
    return ec ? 1 : 0;
}
