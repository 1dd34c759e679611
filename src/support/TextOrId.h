#pragma once
#include <string>

#include "support/StringTable.h"

namespace mailwright {

// A text argument given either as text or as a string-table identifier, which is
// replaced by that entry's text. A null text is the empty string.
class TextOrId {
public:
    TextOrId(const char* text) : m_text(text ? text : "") {}  // NOLINT: implicit by design
    TextOrId(std::string text) : m_text(std::move(text)) {}   // NOLINT
    TextOrId(unsigned id) : m_text(LoadString(id)) {}          // NOLINT
    TextOrId(int id) : m_text(LoadString(static_cast<unsigned>(id))) {}  // NOLINT
    TextOrId(StringId id) : m_text(LoadString(id)) {}          // NOLINT

    const std::string& Str() const { return m_text; }

private:
    std::string m_text;
};

}  // namespace mailwright
