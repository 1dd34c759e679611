// Pieces of a hive's text gathered for a sink: adjoining stretches of the text read go
// out as one, new text through a buffer of 64 KiB.
#include "registry/hive/TextAssembler.h"

#include <algorithm>

#include "registry/hive/HiveLines.h"

namespace mailwright::hive {

TextAssembler::TextAssembler(const HiveText& text, const std::function<bool(std::string_view)>& sink) : m_text(text), m_sink(sink) {}

bool TextAssembler::Copy(size_t offset, size_t length) {
    if (length == 0) return true;
    if (m_buffer.empty() && m_pendingLength > 0 && m_pendingOffset + m_pendingLength == offset) {
        m_pendingLength += length;
        return true;
    }
    if (!Flush()) return false;
    m_pendingOffset = offset;
    m_pendingLength = length;
    return true;
}

bool TextAssembler::Add(const std::string& rendered) {
    if (rendered.empty()) return true;
    if (m_pendingLength > 0 && !Flush()) return false;
    m_buffer += rendered;
    return m_buffer.size() < kBufferSize || Flush();
}

bool TextAssembler::Finish() { return Flush() && (m_last == '\n' || Send("\n")); }

bool TextAssembler::Send(std::string_view piece) {
    if (piece.empty()) return true;
    m_last = piece.back();
    return m_sink(piece);
}

bool TextAssembler::Flush() {
    for (size_t done = 0; done < m_pendingLength;) {
        const size_t length = m_text.InMemory() ? m_pendingLength : std::min(kPieceSize, m_pendingLength - done);
        if (m_text.InMemory()) {
            if (!Send(m_text.Memory().substr(m_pendingOffset, length))) return false;
        } else if (!m_text.Read(m_pendingOffset + done, length, m_piece) || !Send(m_piece)) {
            return false;
        }
        done += length;
    }
    m_pendingLength = 0;
    const bool ok = Send(m_buffer);
    m_buffer.clear();
    return ok;
}

}  // namespace mailwright::hive
