#pragma once
// Writes a profile file the user chose (a history file, a kept backup) into the attached DC:
// only into the DC it was read from, and only at the memory size it was read with. What the DC
// holds now is kept in the history first, and the chosen file stays on disk.

#include <filesystem>

#include "update/Session.h"

namespace verno::update {

enum class RestoreFileResult {
    Restored,
    NotAnswering,
    OtherModel,
    Unusable,     // missing, damaged or unreadable
    OtherSerial,  // the file holds another DC's profile
    OtherSize,    // made for another memory size
    Declined,     // the user did not confirm
    Failed,       // see the task log's error rows
};

RestoreFileResult RestoreFile(Session& s, const std::filesystem::path& file);

}  // namespace verno::update
