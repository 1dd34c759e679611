#include "registry/WineHive.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

namespace mailwright {
namespace {

constexpr std::string_view kHeader = "WINE REGISTRY Version 2";
constexpr std::int64_t kTicks1601To1970 = 116444736000000000LL;
constexpr std::int64_t kTicksPerSecond = 10000000LL;
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxKeyDepth = 512;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

void AppendUnit(std::vector<std::uint8_t>& bytes, char16_t unit) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
}

// ---- Reading ----------------------------------------------------------------------

// One line of the text, without its line break (and without a CR before it).
struct Line {
    size_t start = 0;  // offset of the line in the text
    std::string_view text;
};

class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}
    bool Next(Line& line) {
        if (m_pos >= m_text.size()) return false;
        size_t end = m_text.find('\n', m_pos);
        if (end == std::string_view::npos) end = m_text.size();
        line.start = m_pos;
        line.text = m_text.substr(m_pos, end - m_pos);
        if (!line.text.empty() && line.text.back() == '\r') line.text.remove_suffix(1);
        m_pos = end + 1;
        ++m_number;
        return true;
    }
    size_t Number() const { return m_number; }

private:
    std::string_view m_text;
    size_t m_pos = 0;
    size_t m_number = 0;
};

// Decodes one UTF-8 character at `pos`; false for a malformed sequence.
bool DecodeUtf8(std::string_view text, size_t& pos, std::u16string& out) {
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

// Reads escaped text up to the unescaped `terminator`, as Wine's parse_strW does;
// `pos` ends after the terminator. False when the line ends first or holds bad UTF-8.
bool ReadEscaped(std::string_view line, size_t& pos, char terminator, std::u16string& out) {
    while (pos < line.size()) {
        const char c = line[pos];
        if (c == terminator) {
            ++pos;
            return true;
        }
        if (c != '\\') {
            if (!DecodeUtf8(line, pos, out)) return false;
            continue;
        }
        if (++pos >= line.size()) return false;
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
            return false;
        }
    }
    return false;
}

bool OnlyBlanksFrom(std::string_view line, size_t pos) {
    for (; pos < line.size(); ++pos)
        if (!IsBlank(line[pos])) return false;
    return true;
}

struct DataType {
    std::string_view tag;
    DWORD type;
    enum Form { String, Hex, Dword, HexWithType } form;
};

constexpr DataType kDataTypes[] = {
    {"\"", REG_SZ, DataType::String},           {"str:\"", REG_SZ, DataType::String},
    {"str(2):\"", REG_EXPAND_SZ, DataType::String}, {"str(7):\"", REG_MULTI_SZ, DataType::String},
    {"hex:", REG_BINARY, DataType::Hex},        {"dword:", REG_DWORD, DataType::Dword},
    {"hex(", REG_NONE, DataType::HexWithType},
};

class HiveParser {
public:
    HiveParser(std::string_view text, RegistryKeyNode& root) : m_text(text), m_lines(text), m_root(root) {}

    bool Run(std::string& arch, size_t& headerLength, std::string& error) {
        Line line;
        if (!m_lines.Next(line) || line.text != kHeader) return Fail("not a Wine registry file", error);
        headerLength = m_text.size();
        while (m_lines.Next(line)) {
            size_t pos = 0;
            while (pos < line.text.size() && IsBlank(line.text[pos])) ++pos;
            if (pos == line.text.size() || line.text[pos] == ';') continue;
            const char c = line.text[pos];
            bool ok;
            if (c == '[') {
                if (!m_key) headerLength = line.start - 1;
                ok = ReadKeyLine(line, pos + 1);
            } else if (c == '#') {
                ok = ReadOption(line.text.substr(pos), arch);
            } else if (c == '@' || c == '"') {
                ok = m_key && ReadValue(line.text, pos);
                if (!m_key) m_message = "a value before the first key";
            } else {
                ok = false;
                m_message = "unrecognized line";
            }
            if (!ok) return Fail(m_message, error);
        }
        CloseBlock(m_text.size());
        return true;
    }

private:
    bool Fail(const std::string& what, std::string& error) {
        error = "line " + std::to_string(m_lines.Number()) + ": " + what;
        return false;
    }

    void CloseBlock(size_t end) {
        if (m_key && m_blockStart != std::string_view::npos) {
            m_key->textOffset = m_blockStart;
            m_key->textLength = end - m_blockStart;
        }
    }

    bool ReadKeyLine(const Line& line, size_t pos) {
        std::u16string path;
        if (!ReadEscaped(line.text, pos, ']', path)) {
            m_message = "a key line without its closing bracket";
            return false;
        }
        while (pos < line.text.size() && IsBlank(line.text[pos])) ++pos;
        std::optional<std::uint64_t> seconds;
        while (pos < line.text.size() && line.text[pos] >= '0' && line.text[pos] <= '9') {
            seconds = seconds.value_or(0) * 10 + static_cast<std::uint64_t>(line.text[pos++] - '0');
            if (*seconds > 0xFFFFFFFFULL) break;
        }
        if (!OnlyBlanksFrom(line.text, pos) || (seconds && *seconds > 0xFFFFFFFFULL)) {
            m_message = "unexpected text after the key name";
            return false;
        }
        RegistryKeyNode* key = FindOrAddKey(path);
        if (!key) return false;
        CloseBlock(line.start - 1);
        m_key = key;
        if (key->textLength > 0 || key->changed) {
            // A key given twice is merged, as Wine does, and written anew.
            key->changed = true;
            key->textLength = 0;
            m_blockStart = std::string_view::npos;
        } else {
            m_blockStart = line.start - 1;
        }
        if (seconds) key->modified = static_cast<std::uint64_t>(kTicks1601To1970) + *seconds * kTicksPerSecond;
        return true;
    }

    RegistryKeyNode* FindOrAddKey(const std::u16string& path) {
        if (path.empty()) return &m_root;
        // Hives list keys depth first in name order: most of a path is the last key's.
        RegistryKeyNode* node = &m_root;
        size_t depth = 0;
        size_t start = 0;
        while (start <= path.size()) {
            size_t end = path.find(u'\\', start);
            if (end == std::u16string::npos) end = path.size();
            const std::u16string_view name(path.data() + start, end - start);
            if (name.empty() || name.size() > kMaxKeyNameLength || ++depth > kMaxKeyDepth) {
                m_message = name.empty() ? "an empty key name" : "a key name or path too long";
                return nullptr;
            }
            RegistryKeyNode* next = nullptr;
            if (depth <= m_chain.size() && m_chain[depth - 1]->Parent() == node &&
                RegistryNamesEqual(m_chain[depth - 1]->Name(), name))
                next = m_chain[depth - 1];
            if (!next) {
                next = node->FindSubKey(name);
                if (!next) next = &node->AddSubKey(std::u16string(name), 0);
                m_chain.resize(depth - 1);
                m_chain.push_back(next);
            }
            node = next;
            start = end + 1;
        }
        return node;
    }

    bool ReadOption(std::string_view option, std::string& arch) {
        if (!m_key) {
            if (option.substr(0, 6) == "#arch=") arch = std::string(option.substr(6));
            return true;  // Wine ignores global options it does not know
        }
        if (option.substr(0, 6) == "#time=") {
            std::uint64_t time = 0;
            for (size_t i = 6; i < option.size() && IsHexDigit(option[i]); ++i)
                time = (time << 4) | static_cast<std::uint64_t>(HexValue(option[i]));
            m_key->modified = time;
        } else if (option.substr(0, 8) == "#class=\"") {
            std::u16string name;
            size_t pos = 8;
            if (!ReadEscaped(option, pos, '"', name) || !OnlyBlanksFrom(option, pos)) {
                m_message = "a malformed class";
                return false;
            }
            m_key->className = std::move(name);
        } else if (option.substr(0, 5) == "#link" && (option.size() == 5 || IsBlank(option[5]))) {
            m_key->isLink = true;
        }
        return true;  // other key options are ignored, as Wine does
    }

    bool ReadValue(std::string_view line, size_t pos) {
        std::u16string name;
        if (line[pos] == '@') {
            ++pos;
        } else if (++pos; !ReadEscaped(line, pos, '"', name)) {
            m_message = "a value name without its closing quote";
            return false;
        }
        while (pos < line.size() && IsBlank(line[pos])) ++pos;
        if (pos >= line.size() || line[pos] != '=') {
            m_message = "a value without '='";
            return false;
        }
        ++pos;
        while (pos < line.size() && IsBlank(line[pos])) ++pos;
        DWORD type = REG_NONE;
        std::vector<std::uint8_t> data;
        if (!ReadData(line, pos, type, data)) return false;
        if (m_key->SetValue(name, type, std::move(data))) m_key->changed = true;
        return true;
    }

    bool ReadData(std::string_view line, size_t pos, DWORD& type, std::vector<std::uint8_t>& data) {
        const std::string_view rest = line.substr(pos);
        for (const DataType& candidate : kDataTypes) {
            if (rest.substr(0, candidate.tag.size()) != candidate.tag) continue;
            pos += candidate.tag.size();
            type = candidate.type;
            switch (candidate.form) {
                case DataType::String: return ReadStringData(line, pos, data);
                case DataType::Dword: return ReadDwordData(line, pos, data);
                case DataType::HexWithType:
                    if (!ReadHexType(line, pos, type)) return false;
                    return ReadHexData(line, pos, data);
                case DataType::Hex: return ReadHexData(line, pos, data);
            }
        }
        m_message = "an unknown value type";
        return false;
    }

    bool ReadStringData(std::string_view line, size_t pos, std::vector<std::uint8_t>& data) {
        std::u16string text;
        if (!ReadEscaped(line, pos, '"', text) || !OnlyBlanksFrom(line, pos)) {
            m_message = "a malformed string";
            return false;
        }
        data.reserve((text.size() + 1) * 2);
        for (char16_t unit : text) AppendUnit(data, unit);
        AppendUnit(data, 0);
        return true;
    }

    bool ReadDwordData(std::string_view line, size_t pos, std::vector<std::uint8_t>& data) {
        DWORD value = 0;
        size_t digits = 0;
        for (; pos < line.size() && IsHexDigit(line[pos]); ++pos, ++digits) value = (value << 4) | HexValue(line[pos]);
        if (digits == 0 || digits > 8 || !OnlyBlanksFrom(line, pos)) {
            m_message = "a malformed dword";
            return false;
        }
        data = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
        return true;
    }

    bool ReadHexType(std::string_view line, size_t& pos, DWORD& type) {
        std::uint64_t value = 0;
        size_t digits = 0;
        for (; pos < line.size() && IsHexDigit(line[pos]); ++pos, ++digits) value = (value << 4) | HexValue(line[pos]);
        if (digits == 0 || digits > 8 || line.substr(pos, 2) != "):") {
            m_message = "a malformed hex type";
            return false;
        }
        pos += 2;
        type = static_cast<DWORD>(value);
        return true;
    }

    // Comma-separated bytes; a backslash at the end of a line continues on the next.
    bool ReadHexData(std::string_view line, size_t pos, std::vector<std::uint8_t>& data) {
        for (;;) {
            while (pos < line.size() && IsBlank(line[pos])) ++pos;
            if (pos == line.size()) return true;
            if (line[pos] == '\\' && OnlyBlanksFrom(line, pos + 1)) {
                Line next;
                if (!m_lines.Next(next)) {
                    m_message = "hex data continued past the end";
                    return false;
                }
                line = next.text;
                pos = 0;
                continue;
            }
            if (!IsHexDigit(line[pos])) break;
            int value = HexValue(line[pos++]);
            if (pos < line.size() && IsHexDigit(line[pos])) value = (value << 4) | HexValue(line[pos++]);
            data.push_back(static_cast<std::uint8_t>(value));
            while (pos < line.size() && IsBlank(line[pos])) ++pos;
            if (pos < line.size() && line[pos] == ',') ++pos;
            else if (pos < line.size() && line[pos] != '\\') break;
        }
        m_message = "malformed hex data";
        return false;
    }

    std::string_view m_text;
    LineReader m_lines;
    RegistryKeyNode& m_root;
    RegistryKeyNode* m_key = nullptr;
    size_t m_blockStart = std::string_view::npos;
    std::vector<RegistryKeyNode*> m_chain;  // the last key line's keys, by depth
    std::string m_message;
};

// ---- Writing ----------------------------------------------------------------------

// Wine's dump_strW: the text escaped, a final NUL left out; returns the characters written.
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
            if (c == 0 && !hasNext) continue;
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

// Wine's dump_value.
void AppendValue(std::string& out, const RegistryValue& value) {
    char buffer[32];
    size_t count;
    if (!value.name.empty()) {
        out += '"';
        count = 1 + AppendEscaped(out, value.name, "\"\"");
        out += "\"=";
        count += 2;
    } else {
        out += "@=";
        count = 2;
    }
    const auto& data = value.data;
    switch (value.type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
        case REG_MULTI_SZ:
            if (data.size() < 2 || data.size() % 2 || data[data.size() - 1] || data[data.size() - 2]) break;
            if (value.type != REG_SZ) {
                std::snprintf(buffer, sizeof(buffer), "str(%x):", static_cast<unsigned>(value.type));
                out += buffer;
            }
            out += '"';
            AppendEscaped(out, UnitsOf(data), "\"\"");
            out += "\"\n";
            return;
        case REG_DWORD:
            if (data.size() != 4) break;
            std::snprintf(buffer, sizeof(buffer), "dword:%08x\n",
                          static_cast<unsigned>(data[0] | (data[1] << 8) | (data[2] << 16) |
                                                (static_cast<unsigned>(data[3]) << 24)));
            out += buffer;
            return;
    }
    if (value.type == REG_BINARY) {
        out += "hex:";
        count += 4;
    } else {
        const int written = std::snprintf(buffer, sizeof(buffer), "hex(%x):", static_cast<unsigned>(value.type));
        out += buffer;
        count += static_cast<size_t>(written);
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0xF];
        count += 2;
        if (i + 1 < data.size()) {
            out += ',';
            if (++count > 76) {
                out += "\\\n  ";
                count = 2;
            }
        }
    }
    out += '\n';
}

std::string EscapedPath(const RegistryKeyNode& node) {
    std::vector<const RegistryKeyNode*> chain;
    for (const RegistryKeyNode* at = &node; at->Parent(); at = at->Parent()) chain.push_back(at);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin()) path += "\\\\";
        AppendEscaped(path, (*it)->Name(), "[]");
    }
    return path;
}

// Wine writes a key with values, without subkeys, with a class, or that is a link;
// other keys appear only as part of their subkeys' paths.
bool WineWritesKey(const RegistryKeyNode& node) {
    return !node.Values().empty() || node.SubKeys().empty() || node.className || node.isLink;
}

}  // namespace

void RenderWineKey(const RegistryKeyNode& node, const std::string& escapedPath, std::string& out) {
    char buffer[64];
    const auto modified = static_cast<std::int64_t>(node.modified);
    std::snprintf(buffer, sizeof(buffer), "] %u\n#time=%x%08x\n",
                  static_cast<unsigned>((modified - kTicks1601To1970) / kTicksPerSecond),
                  static_cast<unsigned>(node.modified >> 32), static_cast<unsigned>(node.modified));
    out += "\n[";
    out += escapedPath;
    out += buffer;
    if (node.className) {
        out += "#class=\"";
        AppendEscaped(out, *node.className, "\"\"");
        out += "\"\n";
    }
    if (node.isLink) out += "#link\n";
    for (const RegistryValue& value : node.Values()) AppendValue(out, value);
}

WineHive::WineHive() : m_root(std::make_unique<RegistryKeyNode>(std::u16string(), nullptr, RegistryTimeNow())) {}

bool WineHive::Parse(std::string text, std::string& error) {
    m_root = std::make_unique<RegistryKeyNode>(std::u16string(), nullptr, RegistryTimeNow());
    m_arch.clear();
    m_text.clear();
    m_headerLength = 0;
    if (const size_t nul = text.find('\0'); nul != std::string::npos) {
        error = "line " + std::to_string(1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(nul), '\n')) +
                ": a NUL byte";
        return false;
    }
    HiveParser parser(text, *m_root);
    size_t headerLength = 0;
    std::string arch;
    if (!parser.Run(arch, headerLength, error)) {
        m_root = std::make_unique<RegistryKeyNode>(std::u16string(), nullptr, RegistryTimeNow());
        return false;
    }
    m_text = std::move(text);
    m_headerLength = headerLength;
    m_arch = std::move(arch);
    return true;
}

void WineHive::SetNewHeader(const std::string& branch, const std::string& arch) {
    std::string header = std::string(kHeader) + "\n;; All keys relative to " + branch + "\n";
    if (!arch.empty()) header += "\n#arch=" + arch + "\n";
    m_text = header;
    m_headerLength = header.size();
    m_arch = arch;
}

void WineHive::RenderKey(RegistryKeyNode& node, std::string& out) const {
    const size_t offset = out.size();
    if (!node.changed && node.textLength > 0) {
        out.append(m_text, node.textOffset, node.textLength);
    } else if (node.changed && WineWritesKey(node)) {
        RenderWineKey(node, EscapedPath(node), out);
    }
    node.textOffset = offset;
    node.textLength = out.size() - offset;
    node.changed = false;
    for (const auto& subkey : node.SubKeys()) RenderKey(*subkey, out);
}

const std::string& WineHive::Render() {
    // The text is rendered into the buffer of the text before last: a hive of many
    // megabytes costs no fresh memory at each write.
    std::string& out = m_spare;
    out.clear();
    out.reserve(m_text.size() + 4096);
    out.append(m_text, 0, m_headerLength);
    RenderKey(*m_root, out);
    if (!out.empty() && out.back() != '\n') out += '\n';
    m_text.swap(out);
    m_headerLength = std::min(m_headerLength, m_text.size());
    return m_text;
}

}  // namespace mailwright
