#include "platform/ProgramArguments.h"

#include <windows.h>
#include <shellapi.h>

#include <filesystem>

namespace verno::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return WithHelpAsked({argv + 1, argv + argc});
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        const std::u8string utf8 = std::filesystem::path(wide[i]).u8string();
        args.emplace_back(utf8.begin(), utf8.end());
    }
    LocalFree(wide);
    return WithHelpAsked(std::move(args));
}

}  // namespace verno::platform
