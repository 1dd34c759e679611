// A key's lines decoded: values as Wine writes them read by the table of value types,
// lines Wine reads only in part handed to MalformedValueReader and kept as they were.
#include "registry/hive/KeyDecoder.h"

#include <algorithm>

#include "registry/hive/HiveCharacters.h"
#include "registry/hive/MalformedValueReader.h"

namespace mailwright::hive {

namespace {

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

}  // namespace

KeyDecoder::KeyDecoder(std::string_view lines, size_t offset, const HiveNotes* notes)  : m_text(lines), m_offset(offset), m_lines(lines, 0, lines.size()), m_notes(notes) {}

void KeyDecoder::Run(RegistryKeyContent& content, bool& duplicates, bool& link) {
    Line line;
    bool keyLineSeen = false;
    while (m_lines.Next(line)) {
        const size_t pos = SkipBlanks(line.text, 0);
        if (pos == line.text.size() || line.text[pos] == ';') continue;
        const char c = line.text[pos];
        if (c == '[' && !keyLineSeen) {
            keyLineSeen = true;
            KeyLineTime(line.text, pos + 1, content);
        } else if (c == '[') {
            return KeepTheRest(line, content);
        } else if (c == '#') {
            Option(line, pos, content);
            link = link || IsLinkOption(line.text.substr(pos));
        } else if (c == '@' || c == '"') {
            Value(line, pos, content, duplicates);
        } else {
            Keep(line, content, "expected a value, an option or a key line");
        }
    }
}

void KeyDecoder::KeyLineTime(std::string_view line, size_t pos, RegistryKeyContent& content) {
    std::u16string path;
    if (!ReadEscaped(line, pos, ']', path)) return;  // the indexer read it: cannot happen
    if (const auto seconds = ReadKeySeconds(line, pos))
        content.modified = static_cast<std::uint64_t>(kTicks1601To1970) + *seconds * kTicksPerSecond;
}

std::string KeyDecoder::RawText(size_t start) const {
    std::string raw(m_text.substr(start, std::min(m_lines.Position(), m_text.size()) - start));
    if (raw.empty() || raw.back() != '\n') raw += '\n';
    return raw;
}

void KeyDecoder::Note(size_t start, const std::string& expected) const {
    if (m_notes) (*m_notes)(m_offset + start, expected);
}

void KeyDecoder::Keep(const Line& line, RegistryKeyContent& content, const std::string& expected) {
    content.keptLines += RawText(line.start);
    Note(line.start, expected);
}

void KeyDecoder::KeepTheRest(const Line& line, RegistryKeyContent& content) {
    std::string expected;
    KeyLineReadable(line.text.substr(SkipBlanks(line.text, 0) + 1), expected);
    Note(line.start, expected);
    std::string rest(m_text.substr(line.start));
    if (rest.back() != '\n') rest += '\n';
    content.keptLines += "\n" + rest;  // Wine writes a blank line before each key
}

void KeyDecoder::Option(const Line& line, size_t pos, RegistryKeyContent& content) {
    const std::string_view option = line.text.substr(pos);
    if (option.substr(0, 6) == "#time=") {
        std::uint64_t time = 0;
        for (size_t i = 6; i < option.size() && IsHexDigit(option[i]); ++i)
            time = (time << 4) | static_cast<std::uint64_t>(HexValue(option[i]));
        content.modified = time;
    } else if (option.substr(0, 8) == "#class=\"") {
        std::u16string name;
        size_t at = 8;
        if (ReadEscaped(option, at, '"', name) && OnlyBlanksFrom(option, at)) {
            content.className = std::move(name);
            return;
        }
        name.clear();
        at = 8;
        if (!MalformedValueReader::ReadText(option, at, '"', name))
            return Keep(line, content, "expected #class=\"...\"");  // Wine keeps the class it had
        content.className = std::move(name);
        Note(line.start, "expected the line to end after the class");
    }
    // other options are ignored, as Wine does
}

void KeyDecoder::Value(const Line& line, size_t pos, RegistryKeyContent& content, bool& duplicates) {
    const size_t after = m_lines.Position();
    RegistryValue value;
    if (ReadValue(line.text, pos, value)) return Add(std::move(value), content, duplicates);
    m_lines.Rewind(after);  // hex data read in part may have taken more lines
    bool ranOut = false;
    const auto nextLine = [this, &ranOut](std::string_view& text) {
        Line next;
        ranOut = !m_lines.Next(next);
        text = next.text;
        return !ranOut;
    };
    if (MalformedValueReader::Read(line.text.substr(pos), nextLine, value) == MalformedValueReader::Outcome::Skipped)
        return Keep(line, content, m_message);
    value.keptText = RawText(line.start);
    // Hex data whose backslash found no next line: written anew, the backslash would take
    // the line written after it, so a line follows that ends the value as Wine reads it.
    if (ranOut) value.keptText += ";\n";
    Note(line.start, m_message);
    Add(std::move(value), content, duplicates);
}

void KeyDecoder::Add(RegistryValue value, RegistryKeyContent& content, bool& duplicates) {
    std::vector<RegistryValue>& values = content.values;
    if (values.empty() || CompareRegistryNames(values.back().name, value.name) < 0) {
        values.push_back(std::move(value));
        return;
    }
    auto it = std::lower_bound(values.begin(), values.end(), value.name, [](const RegistryValue& v, const std::u16string& n) {
        return CompareRegistryNames(v.name, n) < 0;
    });
    if (it != values.end() && RegistryNamesEqual(it->name, value.name)) {
        it->type = value.type;
        it->data = std::move(value.data);
        it->keptText = std::move(value.keptText);
        duplicates = true;
    } else {
        values.insert(it, std::move(value));
    }
}

bool KeyDecoder::ReadValue(std::string_view line, size_t pos, RegistryValue& value) {
    if (line[pos] == '@') {
        ++pos;
    } else if (++pos; !ReadEscaped(line, pos, '"', value.name)) {
        m_message = "expected a value name closed by '\"'";
        return false;
    }
    pos = SkipBlanks(line, pos);
    if (pos >= line.size() || line[pos] != '=') {
        m_message = "expected '=' after the value name";
        return false;
    }
    pos = SkipBlanks(line, pos + 1);
    return ReadData(line, pos, value.type, value.data);
}

bool KeyDecoder::ReadData(std::string_view line, size_t pos, DWORD& type, std::vector<std::uint8_t>& data) {
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
    m_message = "expected a value type: a string, str(2):, str(7):, hex:, hex(n): or dword:";
    return false;
}

bool KeyDecoder::ReadStringData(std::string_view line, size_t pos, std::vector<std::uint8_t>& data) {
    std::u16string text;
    if (!ReadEscaped(line, pos, '"', text) || !OnlyBlanksFrom(line, pos)) {
        m_message = "expected UTF-8 text closed by '\"' at the line's end";
        return false;
    }
    data.reserve((text.size() + 1) * 2);
    for (char16_t unit : text) AppendUnit(data, unit);
    AppendUnit(data, 0);
    return true;
}

bool KeyDecoder::ReadDwordData(std::string_view line, size_t pos, std::vector<std::uint8_t>& data) {
    DWORD value = 0;
    size_t digits = 0;
    for (; pos < line.size() && IsHexDigit(line[pos]); ++pos, ++digits) value = (value << 4) | HexValue(line[pos]);
    if (digits == 0 || digits > 8 || !OnlyBlanksFrom(line, pos)) {
        m_message = "expected dword: with 1 to 8 hex digits";
        return false;
    }
    data = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return true;
}

bool KeyDecoder::ReadHexType(std::string_view line, size_t& pos, DWORD& type) {
    std::uint64_t value = 0;
    size_t digits = 0;
    for (; pos < line.size() && IsHexDigit(line[pos]); ++pos, ++digits) value = (value << 4) | HexValue(line[pos]);
    if (digits == 0 || digits > 8 || line.substr(pos, 2) != "):") {
        m_message = "expected hex(n): with a type n of 1 to 8 hex digits";
        return false;
    }
    pos += 2;
    type = static_cast<DWORD>(value);
    return true;
}

bool KeyDecoder::ReadHexData(std::string_view line, size_t pos, std::vector<std::uint8_t>& data) {
    for (;;) {
        pos = SkipBlanks(line, pos);
        if (pos == line.size()) return true;
        if (line[pos] == '\\' && OnlyBlanksFrom(line, pos + 1)) {
            Line next;
            if (!m_lines.Next(next)) {
                m_message = "expected more hex data after the closing backslash";
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
        pos = SkipBlanks(line, pos);
        if (pos < line.size() && line[pos] == ',') ++pos;
        else if (pos < line.size() && line[pos] != '\\') break;
    }
    m_message = "expected hex bytes of two digits separated by commas";
    return false;
}

}  // namespace mailwright::hive
