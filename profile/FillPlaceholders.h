#pragma once

#include <string>
#include <string_view>

namespace verno::profile {

// Fills %1 and %2 of one of our own texts in a single pass, so that a value holding "%2" is
// left as it is.
std::string FillPlaceholders(std::string_view text, std::string_view first, std::string_view second = {});

}  // namespace verno::profile
