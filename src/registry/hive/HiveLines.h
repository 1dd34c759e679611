#pragma once
// The hive text line by line: the lines of a key's stretch, the whole text in pieces of
// whole lines, and the number of the line at an offset (for what a reader tells).
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "registry/HiveText.h"

namespace mailwright::hive {

// One line of the text, without its line break (and without a CR before it).
struct Line {
    size_t start = 0;  // offset of the line in the text
    std::string_view text;
};

// The lines of a stretch of the text, each without its line break (and a CR before it).
class LineReader {
public:
    LineReader(std::string_view text, size_t begin, size_t end) : m_text(text.substr(0, end)), m_pos(begin) {}
    bool Next(Line& line) {
        if (m_pos >= m_text.size()) return false;
        const void* found = std::memchr(m_text.data() + m_pos, '\n', m_text.size() - m_pos);
        const size_t end = found ? static_cast<size_t>(static_cast<const char*>(found) - m_text.data()) : m_text.size();
        line.start = m_pos;
        line.text = m_text.substr(m_pos, end - m_pos);
        if (!line.text.empty() && line.text.back() == '\r') line.text.remove_suffix(1);
        m_pos = end + 1;
        return true;
    }
    // Where the line after the last one handed out starts (past the end after the last).
    size_t Position() const { return m_pos; }
    void Rewind(size_t position) { m_pos = position; }

private:
    std::string_view m_text;
    size_t m_pos;
};

constexpr size_t kPieceSize = 1 << 20;

// The number of the line in which `offset` lies.
size_t LineNumberAt(const HiveText& text, size_t offset);

std::string LineError(const HiveText& text, size_t offset, const std::string& what);

// Hands out a hive's text in pieces of whole lines, about a megabyte each (more when a
// single line is longer); a text held in memory comes as one piece.
class PieceReader {
public:
    explicit PieceReader(const HiveText& text);

    // The next piece and where it starts; false at the end and when the file cannot be read.
    bool Next(std::string_view& piece, size_t& offset);
    bool Failed() const;

private:
    const HiveText& m_text;
    std::string m_buffer;
    size_t m_next = 0;
    bool m_failed = false;

};

}  // namespace mailwright::hive
