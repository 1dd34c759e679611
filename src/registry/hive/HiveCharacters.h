#pragma once
// The hive text's character level: blanks, hex digits, the escapes of names and strings
// (Wine's parse_strW and dump_strW), UTF-8 in and UTF-16 units out. The functions that
// run for every byte a hive holds are inline here.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace mailwright::hive {

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The C library's isspace in the "C" locale.
inline bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

inline bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

inline int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

inline void AppendUnit(std::vector<std::uint8_t>& bytes, char16_t unit) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
}

inline size_t SkipBlanks(std::string_view line, size_t pos) {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    return pos;
}

bool OnlyBlanksFrom(std::string_view line, size_t pos);

// Decodes one UTF-8 character at `pos`; false for a malformed sequence.
inline bool DecodeUtf8(std::string_view text, size_t& pos, std::u16string& out) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    int extra;
    char32_t code;
    if (lead < 0x80) {
        out += static_cast<char16_t>(lead);
        ++pos;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        code = lead & 0x07;
    } else {
        return false;
    }
    if (pos + extra >= text.size()) return false;
    for (int i = 1; i <= extra; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) return false;
        code = (code << 6) | (byte(pos + i) & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (code >= 0x10000) {
        code -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (code >> 10));
        out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
        out += static_cast<char16_t>(code);
    }
    pos += extra + 1;
    return true;
}

// How many bytes two texts share at their start; eight at a time.
inline size_t CommonPrefixLength(std::string_view a, std::string_view b) {
    const size_t length = std::min(a.size(), b.size());
    size_t same = 0;
    for (; same + 8 <= length; same += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a.data() + same, 8);
        std::memcpy(&y, b.data() + same, 8);
        if (x != y) return same + static_cast<size_t>(std::countr_zero(x ^ y) / 8);  // little-endian
    }
    while (same < length && a[same] == b[same]) ++same;
    return same;
}

// The length of the run of plain ASCII at the start of `text`: no `terminator`, no
// backslash, no byte of a UTF-8 sequence. Eight bytes at a time.
inline size_t PlainRunLength(std::string_view text, char terminator) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    const auto hasByte = [](std::uint64_t word, unsigned char c) {
        const std::uint64_t x = word ^ (kOnes * c);
        return (x - kOnes) & ~x & kHighs;
    };
    size_t run = 0;
    for (; run + 8 <= text.size(); run += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + run, 8);
        if ((word & kHighs) | hasByte(word, '\\') | hasByte(word, static_cast<unsigned char>(terminator))) break;
    }
    while (run < text.size()) {
        const auto c = static_cast<unsigned char>(text[run]);
        if (c == static_cast<unsigned char>(terminator) || c == '\\' || c >= 0x80) break;
        ++run;
    }
    return run;
}

enum class EscapedStep { Read, Ended, Failed };

// Reads one piece of escaped text at `pos`, as Wine's parse_strW does: a run of plain
// ASCII (nearly all of a hive, taken in one go), one escape or one UTF-8 character.
// Ended: the unescaped `terminator` was read. Failed: the line ends first or holds bad UTF-8.
inline EscapedStep ReadEscapedStep(std::string_view line, size_t& pos, char terminator, std::u16string& out) {
    const size_t end = pos + PlainRunLength(line.substr(pos), terminator);
    if (end > pos) {
        const size_t at = out.size();
        out.resize(at + (end - pos));
        for (size_t i = pos; i < end; ++i) out[at + (i - pos)] = static_cast<unsigned char>(line[i]);
        pos = end;
        return EscapedStep::Read;
    }
    if (pos >= line.size()) return EscapedStep::Failed;
    const char c = line[pos];
    if (c == terminator) {
        ++pos;
        return EscapedStep::Ended;
    }
    if (c != '\\') return DecodeUtf8(line, pos, out) ? EscapedStep::Read : EscapedStep::Failed;
    if (++pos >= line.size()) return EscapedStep::Failed;
    const char e = line[pos];
    static constexpr std::string_view kLetters = "abefnrtv";
    static constexpr char16_t kCodes[] = {u'\a', u'\b', 0x1B, u'\f', u'\n', u'\r', u'\t', u'\v'};
    if (const size_t letter = kLetters.find(e); letter != std::string_view::npos) {
        out += kCodes[letter];
        ++pos;
    } else if (e == 'x') {
        ++pos;
        char16_t value = 0;
        int digits = 0;
        while (digits < 4 && pos < line.size() && IsHexDigit(line[pos])) {
            value = static_cast<char16_t>((value << 4) | HexValue(line[pos++]));
            ++digits;
        }
        out += digits ? value : u'x';
    } else if (e >= '0' && e <= '7') {
        char16_t value = 0;
        for (int digits = 0; digits < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7'; ++digits)
            value = static_cast<char16_t>((value << 3) | (line[pos++] - '0'));
        out += value;
    } else if (!DecodeUtf8(line, pos, out)) {  // any other escaped character is itself
        return EscapedStep::Failed;
    }
    return EscapedStep::Read;
}

// Reads escaped text up to the unescaped `terminator`; `pos` ends after the terminator.
// False when the line ends first or holds bad UTF-8.
bool ReadEscaped(std::string_view line, size_t& pos, char terminator, std::u16string& out);

// Wine's dump_strW: the text escaped; returns the characters written. Wine leaves out a
// final NUL, the terminator of a string value; a name or class ending in NUL keeps it here,
// else written anew it would read back as another key or value.
size_t AppendEscaped(std::string& out, std::u16string_view text, const char escape[2]);

std::u16string UnitsOf(const std::vector<std::uint8_t>& data);

}  // namespace mailwright::hive
