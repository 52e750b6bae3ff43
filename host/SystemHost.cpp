#include "host/SystemHost.h"

#include <utility>

#include "common/ProgramFolder.h"
#include "common/Resources.h"
#include "link/port/FindInterfacePort.h"
#include "platform/EndProcess.h"
#include "platform/ProcessPriority.h"
#include "platform/StartProgram.h"

namespace verno::host {

SystemHost::SystemHost(std::optional<std::string> portOverride) : portOverride_(std::move(portOverride)) {}

std::optional<std::string> SystemHost::FindPort() { return link::FindInterfacePort(portOverride_); }

std::uint32_t SystemHost::SetPriority(std::uint32_t priorityClass) {
    return platform::SetProcessPriority(0, 0, priorityClass);
}

std::string_view SystemHost::ConfigurationRecord() { return resources::kConfigurationRecord; }

std::filesystem::path SystemHost::ProgramFolder() { return verno::ProgramFolder(); }

std::filesystem::path SystemHost::CatalogueFile() { return verno::ProgramFolder() / resources::kCatalogueFileName; }

void SystemHost::StartProgram(const std::filesystem::path& program) { platform::StartProgram(program); }

void SystemHost::EndProgram(int status) { platform::EndProcess(status); }

}  // namespace verno::host
