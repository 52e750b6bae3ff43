#pragma once
// verno-update's own lines outside the controller's run (the --check block, the bench's summary
// and messages, the --history listing) in the catalogue's language: the catalogue opened
// read-only the way the controller opens it, in the desktop's language when it has it.

#include <filesystem>
#include <functional>
#include <string>

#include "catalogue/Catalogue.h"
#include "wizard/Host.h"

namespace verno::console {

// Text n in the language of the run; tests give their own.
using TextLookup = std::function<std::string(int n)>;

class ConsoleTexts {
public:
    explicit ConsoleTexts(wizard::Host& host);
    ConsoleTexts(const ConsoleTexts&) = delete;
    ConsoleTexts& operator=(const ConsoleTexts&) = delete;

    bool Ok() const { return catalogue_.IsOpen(); }
    const std::filesystem::path& File() const { return file_; }
    std::string operator()(int n) const { return catalogue_.LoadText(n); }
    TextLookup Lookup() const {
        return [this](int n) { return catalogue_.LoadText(n); };
    }

private:
    catalogue::Catalogue catalogue_;
    std::filesystem::path file_;
};

// The columns a UTF-8 text takes on a terminal: one per character, so that umlauts and accents
// count once.
std::size_t DisplayWidth(const std::string& text);
// text followed by spaces up to width columns.
std::string PadTo(const std::string& text, std::size_t width);

}  // namespace verno::console
