#include "catalogue/CatalogueMessage.h"

#include "common/TextNumbers.h"

namespace verno::catalogue {

std::optional<CatalogueMessage> CatalogueStatusMessage(CatalogueStatus status, const Catalogue& catalogue,
                                                       const std::filesystem::path& file) {
    switch (status) {
    case CatalogueStatus::Open:
        return std::nullopt;
    case CatalogueStatus::Error0001: {
        const std::string failed = catalogue.LoadText(text::kFailed);
        return CatalogueMessage{failed, failed + " 0001", MessageIcon::Critical, MessageButtons::Ok, false};
    }
    case CatalogueStatus::FileMissing:
        return CatalogueMessage{"Firmware Update",
                                "The language catalogue " + file.string() + " is missing. Reinstall the program.",
                                MessageIcon::Critical, MessageButtons::Ok, true};
    case CatalogueStatus::NotACatalogue:
        return CatalogueMessage{"Firmware Update",
                                "The language catalogue " + file.string() +
                                    " is damaged or is not a language catalogue. Reinstall the program.",
                                MessageIcon::Critical, MessageButtons::Ok, true};
    }
    return std::nullopt;
}

}  // namespace verno::catalogue
