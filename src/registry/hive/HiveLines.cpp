// Line numbers and the pieces a hive's text is read in.
#include "registry/hive/HiveLines.h"

#include <algorithm>

namespace mailwright::hive {

// The number of the line in which `offset` lies.
size_t LineNumberAt(const HiveText& text, size_t offset) {
    size_t lines = 1;
    std::string piece;
    for (size_t at = 0; at < offset; at += kPieceSize) {
        const size_t length = std::min(kPieceSize, offset - at);
        if (!text.Read(at, length, piece)) break;
        lines += static_cast<size_t>(std::count(piece.begin(), piece.end(), '\n'));
    }
    return lines;
}

std::string LineError(const HiveText& text, size_t offset, const std::string& what) {
    return "line " + std::to_string(LineNumberAt(text, offset)) + ": " + what;
}

PieceReader::PieceReader(const HiveText& text) : m_text(text) {}

bool PieceReader::Next(std::string_view& piece, size_t& offset) {
    if (m_next >= m_text.Size()) return false;
    offset = m_next;
    if (m_text.InMemory()) {
        piece = m_text.Memory().substr(m_next);
        m_next = m_text.Size();
        return true;
    }
    size_t length = std::min(kPieceSize, m_text.Size() - m_next);
    size_t cut = 0;
    for (;;) {
        if (!m_text.Read(m_next, length, m_buffer)) {
            m_failed = true;
            return false;
        }
        if (m_next + length == m_text.Size()) {
            cut = length;
            break;
        }
        if (const size_t last = m_buffer.rfind('\n'); last != std::string::npos) {
            cut = last + 1;
            break;
        }
        length = std::min(length * 2, m_text.Size() - m_next);
    }
    piece = std::string_view(m_buffer).substr(0, cut);
    m_next += cut;
    return true;
}

bool PieceReader::Failed() const { return m_failed; }

}  // namespace mailwright::hive
