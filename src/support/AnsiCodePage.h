#pragma once
// The ANSI code page of the program is the locale's character set; the registry
// holds UTF-16. Conversions never fail: what the target cannot hold becomes the
// replacement character, as Windows' own conversions do.
#include <string>
#include <string_view>

namespace mailwright {

// Narrow text in the ANSI code page as UTF-16; undecodable bytes become U+FFFD.
std::u16string AnsiToUtf16(std::string_view text);

// UTF-16 text in the ANSI code page; characters the code page lacks become '?'.
std::string Utf16ToAnsi(std::u16string_view text);

// The character set that stands in for the ANSI code page (iconv's name).
std::string AnsiCharset();

}  // namespace mailwright
