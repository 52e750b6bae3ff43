#pragma once
// Writes a catalogue file from a checked source (used by the build's catalogue compiler).

#include "catalogue/TextsSource.h"

#include <filesystem>
#include <string>

namespace verno::catalogue {

// Replaces `file` with a new catalogue holding the source's texts and the language table.
// Returns an empty string on success, else what went wrong; a failed write leaves no file.
std::string WriteCatalogue(const TextsSource& source, const std::filesystem::path& file);

}  // namespace verno::catalogue
