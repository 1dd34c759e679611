#pragma once
// The format placeholders of a text, so that a translation can be checked against its
// English text: printf's conversions (%s, %d, %5.2f, %1$s) in their order, then Qt's
// numbered arguments (%1, %L2) in ascending order. "%%" is no placeholder, nor is a
// "%" before a blank ("100% done").
#include <string>
#include <string_view>
#include <vector>

namespace mailwright {

std::vector<std::string> FormatPlaceholders(std::string_view text);

// True when both texts hold the same placeholders.
bool SamePlaceholders(std::string_view english, std::string_view translation);

}  // namespace mailwright
