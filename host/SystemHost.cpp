#include "host/SystemHost.h"

#include <QString>
#include <QtGlobal>

#include <system_error>
#include <utility>

#include "catalogue/DesktopLanguage.h"

#include "common/ProgramFolder.h"
#include "common/Resources.h"
#include "link/port/FindInterfacePort.h"
#include "platform/EndProcess.h"
#include "platform/ProcessPriority.h"
#include "platform/StartProgram.h"

namespace verno::host {

namespace {

// Where the running program reads and writes: the one decision, for this machine and user.
Places SystemPlaces(Utf8Environment& environment) {
    const std::filesystem::path folder = verno::ProgramFolder();
    return DecidePlaces(folder, FolderWritable(folder), [&environment](const char* name) { return environment(name); });
}

}  // namespace

const char* Utf8Environment::operator()(const char* name) {
    if (!qEnvironmentVariableIsSet(name)) return nullptr;
    return values_.try_emplace(name, qEnvironmentVariable(name).toStdString()).first->second.c_str();
}

SystemHost::SystemHost(std::optional<std::string> portOverride, std::optional<std::filesystem::path> firmwareOverride)
    : places_(SystemPlaces(environment_)), portOverride_(std::move(portOverride)), firmwareOverride_(std::move(firmwareOverride)) {}

link::PortOpenResult SystemHost::OpenPort(const std::string& path) {
    link::PortOpenResult result = port_.Open(path);
    // Installed, the package's udev rule gives the port to the user at the computer: re-plugging
    // the cable or logging in again helps, not joining the device's group.
    if (places_.installed && result.error == link::PortOpenError::NoPermission) result.deviceGroup.clear();
    return result;
}

std::filesystem::path SystemHost::FirmwareFile(const std::filesystem::path& name) {
    return firmwareOverride_ ? *firmwareOverride_ : places_.FirmwareFile(name);
}

std::optional<std::string> SystemHost::FindPort() { return link::FindInterfacePort(portOverride_); }

std::uint32_t SystemHost::SetPriority(std::uint32_t priorityClass) {
    return platform::SetProcessPriority(0, 0, priorityClass);
}

std::string_view SystemHost::ConfigurationRecord() { return resources::kConfigurationRecord; }

std::optional<int> SystemHost::DesktopLanguageColumn() { return catalogue::DesktopLanguageColumn([this](const char* name) { return environment_(name); }); }

std::filesystem::path SystemHost::CatalogueFile() { return places_.dataFolder / resources::kCatalogueFileName; }

std::filesystem::path SystemHost::BackupFolder() { return places_.backupFolder; }

void SystemHost::StartProgram(const std::filesystem::path& program) { platform::StartProgram(program); }

void SystemHost::EndProgram(int status) { platform::EndProcess(status); }

}  // namespace verno::host
