#pragma once
// Writes a profile file the user chose (a history file, a kept backup) into the attached DC:
// only into the DC it was read from, and only at the memory size it was read with. What the DC
// holds now is kept in the history first; the chosen file is never changed, moved or removed.

#include <filesystem>

#include "update/Session.h"

namespace verno::update {

enum class RestoreFileResult {
    Restored,
    NotAnswering,
    OtherModel,
    Unusable,     // missing, no file, unreadable or no profile
    OtherSerial,  // the file holds another DC's profile
    OtherSize,    // made for another memory size
    Declined,     // the user did not confirm
    Failed,       // see the task log's error rows; the profile waits in its file
};

RestoreFileResult RestoreFile(Session& s, const std::filesystem::path& file);

}  // namespace verno::update
