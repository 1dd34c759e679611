// Escaped text read up to its terminator and written as Wine writes it.
#include "registry/hive/HiveCharacters.h"

#include <cstdio>

namespace mailwright::hive {

bool OnlyBlanksFrom(std::string_view line, size_t pos) {
    for (; pos < line.size(); ++pos)
        if (!IsBlank(line[pos])) return false;
    return true;
}

// Reads escaped text up to the unescaped `terminator`; `pos` ends after the terminator.
// False when the line ends first or holds bad UTF-8.
bool ReadEscaped(std::string_view line, size_t& pos, char terminator, std::u16string& out) {
    for (;;) {
        switch (ReadEscapedStep(line, pos, terminator, out)) {
            case EscapedStep::Read: break;
            case EscapedStep::Ended: return true;
            case EscapedStep::Failed: return false;
        }
    }
}

// Wine's dump_strW: the text escaped; returns the characters written. Wine leaves out a
// final NUL, the terminator of a string value; a name or class ending in NUL keeps it here,
// else written anew it would read back as another key or value.
size_t AppendEscaped(std::string& out, std::u16string_view text, const char escape[2]) {
    static constexpr char kEscapes[] = ".......abtnvfr.............e....";
    const size_t before = out.size();
    char buffer[16];
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool hasNext = i + 1 < text.size();
        const char16_t next = hasNext ? text[i + 1] : 0;
        if (c > 127) {
            const bool hexFollows = hasNext && next < 128 && IsHexDigit(static_cast<char>(next));
            std::snprintf(buffer, sizeof(buffer), hexFollows ? "\\x%04x" : "\\x%x", static_cast<unsigned>(c));
            out += buffer;
        } else if (c < 32) {
            if (kEscapes[c] != '.') {
                out += '\\';
                out += kEscapes[c];
            } else {
                const bool octalFollows = hasNext && next >= u'0' && next <= u'7';
                std::snprintf(buffer, sizeof(buffer), octalFollows ? "\\%03o" : "\\%o", static_cast<unsigned>(c));
                out += buffer;
            }
        } else {
            if (c == u'\\' || c == static_cast<unsigned char>(escape[0]) || c == static_cast<unsigned char>(escape[1]))
                out += '\\';
            out += static_cast<char>(c);
        }
    }
    return out.size() - before;
}

std::u16string UnitsOf(const std::vector<std::uint8_t>& data) {
    std::u16string units(data.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return units;
}

}  // namespace mailwright::hive
