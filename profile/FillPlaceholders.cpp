#include "profile/FillPlaceholders.h"

namespace verno::profile {

std::string FillPlaceholders(std::string_view text, std::string_view first, std::string_view second) {
    std::string out;
    out.reserve(text.size() + first.size() + second.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '1' || text[i + 1] == '2')) {
            out += text[i + 1] == '1' ? first : second;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace verno::profile
