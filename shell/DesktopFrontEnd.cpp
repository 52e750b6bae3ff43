#include "shell/DesktopFrontEnd.h"

#include <QProcess>
#include <QString>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include <cstdio>
#include <cstdlib>

#include "common/ProgramFolder.h"
#include "common/Resources.h"
#include "link/port/TestInterface.h"
#include "platform/ProcessPriority.h"

namespace verno::shell {

std::optional<std::string> DesktopFrontEnd::OpenInterface(WizardSurface& surface) {
    return link::TestInterface(surface, port_);
}

std::uint32_t DesktopFrontEnd::SetPriority(std::uint32_t priorityClass) {
    return platform::SetProcessPriority(0, 0, priorityClass);
}

std::string_view DesktopFrontEnd::ConfigurationRecord() { return resources::kConfigurationRecord; }

std::filesystem::path DesktopFrontEnd::ProgramFolder() { return verno::ProgramFolder(); }

std::filesystem::path DesktopFrontEnd::CatalogueFile() {
    return verno::ProgramFolder() / resources::kCatalogueFileName;
}

void DesktopFrontEnd::StartProgram(const std::filesystem::path& program) {
    QProcess process;
    process.setProgram(QString::fromStdString(program.string()));
#ifdef Q_OS_WIN
    // The follow-up program opens maximised and takes the focus.
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* args) {
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = SW_SHOWMAXIMIZED;
    });
#endif
    process.startDetached();
}

void DesktopFrontEnd::EndProgram() {
    // No destructor, event or handler may run after Close: the interrupted update must not resume.
    std::fflush(stdout);
    std::fflush(stderr);
    // Closing the port removes its lock file; a stale one can keep the port from opening next time.
    port_.Close();
    std::_Exit(0);
}

}  // namespace verno::shell
