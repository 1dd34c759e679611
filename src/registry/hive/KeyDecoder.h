#pragma once
// The lines of one key decoded: the seconds of its key line, its options and its values.
#include <cstddef>
#include <string>
#include <string_view>

#include "registry/RegistryKeyNode.h"
#include "registry/hive/HiveKeyLine.h"
#include "registry/hive/HiveLines.h"

namespace mailwright::hive {

// Reads the lines of one key: the time of its key line, its options and its values. A
// line Wine reads only in part, or skips, is read as Wine reads it and kept as it was, so
// that the key written anew still holds it; each such line is told to the notes.
class KeyDecoder {
public:
    // The key's lines, which start at `offset` of the text; `notes` may be null.
    KeyDecoder(std::string_view lines, size_t offset, const HiveNotes* notes);

    // `duplicates` tells whether a value was given twice (the key must then be written
    // anew), `link` whether the key is a link.
    void Run(RegistryKeyContent& content, bool& duplicates, bool& link);

private:
    static void KeyLineTime(std::string_view line, size_t pos, RegistryKeyContent& content);

    // The line as read, from its start to the line break after `end`'s line.
    std::string RawText(size_t start) const;
    void Note(size_t start, const std::string& expected) const;
    void Keep(const Line& line, RegistryKeyContent& content, const std::string& expected);

    // A key line Wine cannot read: Wine skips it and every line up to the next key.
    void KeepTheRest(const Line& line, RegistryKeyContent& content);
    void Option(const Line& line, size_t pos, RegistryKeyContent& content);
    void Value(const Line& line, size_t pos, RegistryKeyContent& content, bool& duplicates);

    // Values come in name order: most go last.
    static void Add(RegistryValue value, RegistryKeyContent& content, bool& duplicates);

    // A value line laid out as Wine writes values; false, with what was expected, else.
    bool ReadValue(std::string_view line, size_t pos, RegistryValue& value);
    bool ReadData(std::string_view line, size_t pos, DWORD& type, std::vector<std::uint8_t>& data);
    bool ReadStringData(std::string_view line, size_t pos, std::vector<std::uint8_t>& data);
    bool ReadDwordData(std::string_view line, size_t pos, std::vector<std::uint8_t>& data);
    bool ReadHexType(std::string_view line, size_t& pos, DWORD& type);

    // Comma-separated bytes; a backslash at the end of a line continues on the next.
    bool ReadHexData(std::string_view line, size_t pos, std::vector<std::uint8_t>& data);

    std::string_view m_text;
    size_t m_offset;
    LineReader m_lines;
    const HiveNotes* m_notes;
    std::string m_message;

};

}  // namespace mailwright::hive
