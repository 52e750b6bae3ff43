// verno-lngc SOURCE OUTPUT: builds the language catalogue file from its plain-text source.

#include "catalogue/CatalogueWriter.h"
#include "catalogue/TextsSource.h"
#include "common/TextNumbers.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    using namespace verno::catalogue;
    if (argc != 3) {
        std::cerr << "usage: verno-lngc SOURCE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "verno-lngc: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    const TextsSource source = ParseTextsSource(text.str(), verno::text::kAll);
    if (!source.ok()) {
        std::cerr << argv[1] << ": " << source.error << "\n";
        return 1;
    }
    if (const std::string error = WriteCatalogue(source, argv[2]); !error.empty()) {
        std::cerr << "verno-lngc: " << error << "\n";
        return 1;
    }
    return 0;
}
