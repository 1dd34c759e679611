#pragma once
// Small text helpers shared by every module.
#include <string>
#include <string_view>

namespace mailwright {

// True for the white space that the program trims: blank, tab, line breaks, vertical tab, form feed.
bool IsWhiteSpace(char c);

// True when the text holds a control character: U+0000 to U+001F or U+007F (in UTF-8
// these are single bytes that never occur inside another character).
bool HasControlCharacter(std::string_view text);

// The text without white space at both ends.
std::string Trim(std::string_view text);

// The text with A-Z folded to a-z; other bytes unchanged.
std::string ToLowerAscii(std::string_view text);

// Comparison without regard to ASCII letter case.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// Comparison of UTF-8 texts without regard to case in any script, as Wine matches file
// names: each UTF-16 unit of both texts upper-cased by Unicode's simple mapping.
bool EqualsNoCaseUnicode(std::string_view a, std::string_view b);

// printf-style formatting into a string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace mailwright
