#pragma once
// The program's narrow strings are UTF-8 whatever the locale, as in a Windows process whose
// ANSI code page is UTF-8. The registry and the account XML hold UTF-16, converted from
// UTF-8; the one file a client reads in its own ANSI code page (Account.prf) is converted
// to that code page when it is written. Conversions never fail: what the target cannot
// hold becomes a replacement character, as Windows' own conversions do.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace mailwright {

// One character of UTF-8 text and the number of bytes it takes. Bytes that start no
// complete, well-formed sequence read as U+FFFD, up to the first byte that does not fit.
struct Utf8Character {
    char32_t code;
    std::size_t length;
};
Utf8Character DecodeUtf8(std::string_view text, std::size_t at);

// True when every byte of the text belongs to a well-formed UTF-8 character.
bool IsWellFormedUtf8(std::string_view text);

// UTF-8 text as UTF-16; ill-formed bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// UTF-16 text as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// UTF-8 text in a Windows code page; a character the code page lacks becomes "?".
// Nothing when the code page is not one that iconv converts to.
std::optional<std::string> Utf8ToCodePage(std::string_view text, unsigned codePage);

// The Windows ANSI code page that Wine picks for a Unix locale name such as
// "pl_PL.UTF-8" (1250); 0 for a name without a language or whose language has none.
unsigned AnsiCodePageOfLocale(std::string_view locale);

// The same for the locale this process runs with: LC_ALL, else LC_CTYPE, else LANG.
unsigned AnsiCodePageOfEnvironment();

}  // namespace mailwright
