#include "profile/ProfileState.h"

#include <algorithm>
#include <system_error>

namespace verno::profile {

void ProfileState::StartAttempt() {
    if (BackupOnDisk()) Keep(BackupFilePath);
    where = ProfileWhere::InDc;
    fromEarlierRun = false;
}

void ProfileState::Keep(const std::filesystem::path& file) {
    if (!file.empty() && std::find(keptFiles.begin(), keptFiles.end(), file) == keptFiles.end())
        keptFiles.push_back(file);
}

std::vector<std::filesystem::path> ProfileState::FilesOnDisk() const {
    std::vector<std::filesystem::path> files = keptFiles;
    if (BackupOnDisk() && std::find(files.begin(), files.end(), BackupFilePath) == files.end())
        files.push_back(BackupFilePath);
    std::erase_if(files, [](const std::filesystem::path& f) {
        std::error_code ec;
        return !std::filesystem::is_regular_file(f, ec);
    });
    return files;
}

}  // namespace verno::profile
