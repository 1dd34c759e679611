#include "support/TextUtil.h"

#include <locale.h>
#include <wctype.h>

#include <cstdarg>
#include <cstdio>

#include "support/AnsiCodePage.h"

namespace mailwright {

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool HasControlCharacter(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

std::string Trim(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsWhiteSpace(text[begin])) ++begin;
    while (end > begin && IsWhiteSpace(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

static char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string ToLowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = LowerAscii(c);
    return result;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// One UTF-16 unit upper-cased; the C.UTF-8 locale carries Unicode's case table whatever
// locale the program runs in.
static char16_t UpperCase(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - u'a' + u'A');
    if (c < 0x80) return c;
    static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    if (!utf8) return c;
    const wint_t upper = ::towupper_l(c, utf8);
    return upper <= 0xFFFF ? static_cast<char16_t>(upper) : c;
}

bool EqualsNoCaseUnicode(std::string_view a, std::string_view b) {
    if (!IsWellFormedUtf8(a) || !IsWellFormedUtf8(b)) return EqualsNoCase(a, b);
    const std::u16string wideA = Utf8ToUtf16(a);
    const std::u16string wideB = Utf8ToUtf16(b);
    if (wideA.size() != wideB.size()) return false;
    for (size_t i = 0; i < wideA.size(); ++i)
        if (UpperCase(wideA[i]) != UpperCase(wideB[i])) return false;
    return true;
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string result;
    if (length > 0) {
        result.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(result.data(), result.size(), format, args);
        result.resize(static_cast<size_t>(length));
    }
    va_end(args);
    return result;
}

}  // namespace mailwright
