// Wine's own reading of a value line (load_value, parse_strW, parse_hex in Wine's server),
// for the lines the hive reader finds malformed: the same steps, the same C library
// number parsing, so that the program sees what Wine sees.
#include "registry/MalformedValueReader.h"

#include <cstdint>
#include <limits>

namespace mailwright {
namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
unsigned HexOf(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    return static_cast<unsigned>((c | 0x20) - 'a' + 10);
}

size_t SkipSpaces(std::string_view text, size_t pos) {
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    return pos;
}

// strtoul(text + pos, &end, 16) as glibc does it on a 64-bit system: spaces, a sign and
// "0x" before the digits; ULONG_MAX on overflow; `end` stays at `pos` when no digit came.
std::uint64_t HexNumber(std::string_view text, size_t pos, size_t& end) {
    size_t at = SkipSpaces(text, pos);
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    if (at + 2 < text.size() && text[at] == '0' && (text[at + 1] | 0x20) == 'x' && IsHex(text[at + 2])) at += 2;
    const size_t first = at;
    std::uint64_t value = 0;
    bool overflow = false;
    for (; at < text.size() && IsHex(text[at]); ++at) {
        overflow = overflow || value > (std::numeric_limits<std::uint64_t>::max() >> 4);
        value = (value << 4) | HexOf(text[at]);
    }
    if (at == first) {
        end = pos;
        return 0;
    }
    end = at;
    if (overflow) return std::numeric_limits<std::uint64_t>::max();
    return negative ? 0 - value : value;
}

void AppendCode(std::u16string& out, char32_t code) {
    if (code <= 0xFFFF) {
        out += static_cast<char16_t>(code);
        return;
    }
    code -= 0x10000;
    out += static_cast<char16_t>(0xD800 | (code >> 10));
    out += static_cast<char16_t>(0xDC00 | (code & 0x3FF));
}

// One UTF-8 character whose lead byte was just read; a sequence Wine's table does not
// take is dropped, its bytes read so far with it.
void ReadUtf8(std::string_view line, size_t& pos, unsigned char lead, std::u16string& out) {
    static constexpr unsigned char kMask[4] = {0x7F, 0x1F, 0x0F, 0x07};
    static constexpr char32_t kSmallest[4] = {0, 0x80, 0x800, 0x10000};
    const int length = lead < 0xC2 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF5 ? 3 : 0;
    if (length == 0) return;
    char32_t code = lead & kMask[length];
    for (int i = 0; i < length; ++i) {
        const unsigned char next = (pos < line.size() ? static_cast<unsigned char>(line[pos]) : 0) ^ 0x80;
        if (next >= 0x40) return;
        code = (code << 6) | next;
        ++pos;
    }
    if (code >= kSmallest[length] && code <= 0x10FFFF) AppendCode(out, code);
}

// An escape after its backslash; false for a character that stands for itself.
bool ReadEscape(std::string_view line, size_t& pos, std::u16string& out) {
    static constexpr std::string_view kLetters = "abefnrtv";
    static constexpr char16_t kCodes[] = {u'\a', u'\b', 0x1B, u'\f', u'\n', u'\r', u'\t', u'\v'};
    const char e = line[pos];
    if (const size_t letter = kLetters.find(e); letter != std::string_view::npos) {
        out += kCodes[letter];
        ++pos;
    } else if (e == 'x') {
        ++pos;
        char16_t value = u'x';
        if (pos < line.size() && IsHex(line[pos])) {
            value = 0;
            for (int digits = 0; digits < 4 && pos < line.size() && IsHex(line[pos]); ++digits)
                value = static_cast<char16_t>((value << 4) | HexOf(line[pos++]));
        }
        out += value;
    } else if (e >= '0' && e <= '7') {
        char16_t value = 0;
        for (int digits = 0; digits < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7'; ++digits)
            value = static_cast<char16_t>((value << 3) | (line[pos++] - '0'));
        out += value;
    } else {
        return false;
    }
    return true;
}

// Wine's parse_strW.
bool ReadEscapedText(std::string_view line, size_t& pos, char terminator, std::u16string& out) {
    while (pos < line.size() && line[pos] != terminator) {
        if (line[pos] == '\\') {
            if (++pos >= line.size()) return false;
            if (ReadEscape(line, pos, out)) continue;
        }
        const auto c = static_cast<unsigned char>(line[pos++]);
        if (c < 0x80) out += static_cast<char16_t>(c);
        else ReadUtf8(line, pos, c, out);
    }
    if (pos >= line.size()) return false;
    ++pos;
    return true;
}

bool ReadString(std::string_view line, size_t pos, std::vector<std::uint8_t>& data) {
    std::u16string text;
    if (!ReadEscapedText(line, pos, '"', text)) return false;  // what follows the quote is ignored
    text += u'\0';
    for (char16_t unit : text) data.insert(data.end(), {static_cast<std::uint8_t>(unit), static_cast<std::uint8_t>(unit >> 8)});
    return true;
}

void ReadDword(std::string_view line, size_t pos, std::vector<std::uint8_t>& data) {
    size_t end = 0;
    const auto value = static_cast<std::uint32_t>(HexNumber(line, pos, end));
    data = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// Wine's parse_hex: bytes as long as numbers come, each through strtoul.
bool ReadHexRun(std::string_view line, size_t& pos, std::vector<std::uint8_t>& data) {
    while (pos < line.size() && IsHex(line[pos])) {
        size_t end = 0;
        const auto value = static_cast<std::uint32_t>(HexNumber(line, pos, end));  // Wine keeps an unsigned int
        if (end == pos || value > 0xFF) return false;
        data.push_back(static_cast<std::uint8_t>(value));
        pos = SkipSpaces(line, end);
        if (pos < line.size() && line[pos] == ',') ++pos;
        pos = SkipSpaces(line, pos);
    }
    return true;
}

bool ReadHex(std::string_view line, size_t pos, const std::function<bool(std::string_view&)>& nextLine,
             std::vector<std::uint8_t>& data) {
    for (;;) {
        if (!ReadHexRun(line, pos, data)) return false;
        pos = SkipSpaces(line, pos);
        if (pos >= line.size()) return true;
        // The rest of a line after its backslash is not read.
        if (line[pos] != '\\' || !nextLine(line)) return false;
        pos = SkipSpaces(line, 0);
    }
}

// Wine's get_data_type and the data after it; false where Wine makes the value empty.
bool ReadData(std::string_view line, size_t pos, const std::function<bool(std::string_view&)>& nextLine,
              RegistryValue& value) {
    enum class Form { String, Dword, Hex };
    struct Tag {
        std::string_view text;
        DWORD type;
        Form form;
    };
    static constexpr Tag kTags[] = {
        {"\"", REG_SZ, Form::String},      {"str:\"", REG_SZ, Form::String}, {"str(2):\"", REG_EXPAND_SZ, Form::String},
        {"str(7):\"", REG_MULTI_SZ, Form::String}, {"hex:", REG_BINARY, Form::Hex}, {"dword:", REG_DWORD, Form::Dword},
        {"hex(", REG_NONE, Form::Hex},
    };
    const std::string_view rest = line.substr(pos);
    for (const Tag& tag : kTags) {
        if (!rest.starts_with(tag.text)) continue;
        pos += tag.text.size();
        value.type = tag.type;
        if (tag.text == "hex(") {
            size_t end = 0;
            value.type = static_cast<DWORD>(HexNumber(line, pos, end));
            if (line.substr(end, 2) != "):") return false;
            pos = end + 2;
        }
        switch (tag.form) {
            case Form::String: return ReadString(line, pos, value.data);
            case Form::Dword: ReadDword(line, pos, value.data); return true;
            case Form::Hex: return ReadHex(line, pos, nextLine, value.data);
        }
    }
    return false;
}

}  // namespace

bool MalformedValueReader::ReadText(std::string_view line, size_t& pos, char terminator, std::u16string& out) {
    return ReadEscapedText(line, pos, terminator, out);
}

MalformedValueReader::Outcome MalformedValueReader::Read(std::string_view line,
                                                         const std::function<bool(std::string_view&)>& nextLine,
                                                         RegistryValue& value) {
    value = RegistryValue{};
    size_t pos = 1;
    if (line.empty() || (line[0] == '"' && !ReadEscapedText(line, pos, '"', value.name))) return Outcome::Skipped;
    pos = SkipSpaces(line, pos);
    if (pos >= line.size() || line[pos] != '=') return Outcome::Skipped;
    pos = SkipSpaces(line, pos + 1);
    if (!ReadData(line, pos, nextLine, value)) {
        value.type = REG_NONE;
        value.data.clear();
    }
    return Outcome::Read;
}

}  // namespace mailwright
