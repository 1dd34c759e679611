#pragma once
// The pieces of a hive's text handed to a sink: stretches of the text read that follow
// each other go out as one, new text is gathered in a buffer.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "registry/HiveText.h"

namespace mailwright::hive {

// Gathers the pieces of a hive's text for a sink: stretches of the text read that
// follow each other go out as one, new text is collected in a buffer.
class TextAssembler {
public:
    TextAssembler(const HiveText& text, const std::function<bool(std::string_view)>& sink);
    bool Copy(size_t offset, size_t length);
    bool Add(const std::string& rendered);

    // A hive's text ends with a line break.
    bool Finish();

private:
    static constexpr size_t kBufferSize = 64 * 1024;
    bool Send(std::string_view piece);
    bool Flush();

    const HiveText& m_text;
    const std::function<bool(std::string_view)>& m_sink;
    size_t m_pendingOffset = 0;
    size_t m_pendingLength = 0;
    std::string m_buffer;
    std::string m_piece;
    char m_last = '\n';

};

}  // namespace mailwright::hive
