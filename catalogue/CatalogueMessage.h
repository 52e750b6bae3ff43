#pragma once
// What the front end shows after opening the catalogue, shared by the window and the console.

#include "catalogue/Catalogue.h"
#include "common/WizardSurface.h"

#include <filesystem>
#include <optional>
#include <string>

namespace verno::catalogue {

struct CatalogueMessage {
    std::string title;
    std::string text;
    MessageIcon icon = MessageIcon::Critical;
    MessageButtons buttons = MessageButtons::Ok;
    // The window cannot be labelled without the catalogue: the start-up should end after the box.
    bool endsProgram = false;
};

// Nothing for an open catalogue. Error 0001 uses the catalogue's own texts; when the file is
// missing or unusable those texts do not exist, so the message is plain English naming the file.
std::optional<CatalogueMessage> CatalogueStatusMessage(CatalogueStatus status, const Catalogue& catalogue,
                                                       const std::filesystem::path& file);

}  // namespace verno::catalogue
