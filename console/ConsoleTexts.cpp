#include "console/ConsoleTexts.h"

#include "common/ConfigRecord.h"

namespace verno::console {

ConsoleTexts::ConsoleTexts(wizard::Host& host) : file_(host.CatalogueFile()) {
    int column = 1;
    if (const auto record = ReadConfigRecord(host.ConfigurationRecord(), host.ProgramFolder()))
        column = record->LanguageIndex;
    if (const auto desktop = host.DesktopLanguageColumn()) column = *desktop;
    // A catalogue without its language list still has its texts.
    const auto status = catalogue_.Open(file_, column);
    if (status != catalogue::CatalogueStatus::Open && status != catalogue::CatalogueStatus::Error0001) catalogue_.Close();
}

std::size_t DisplayWidth(const std::string& text) {
    std::size_t width = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;  // not a continuation byte
    return width;
}

std::string PadTo(const std::string& text, std::size_t width) {
    const std::size_t used = DisplayWidth(text);
    return used >= width ? text : text + std::string(width - used, ' ');
}

}  // namespace verno::console
