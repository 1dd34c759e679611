#include "account/VeskEmailAddress.h"

#include <cstring>
#include <optional>

#include "support/AnsiCodePage.h"
#include "support/TextUtil.h"

namespace mailwright {

VeskEmailAddress::VeskEmailAddress(const std::string& text) : std::string(Trim(text)) {}

// The text is UTF-8 and is read character by character, so that no byte of a longer
// character is taken for "@" or "."; positions are byte offsets.
bool VeskEmailAddress::IsValid() const {
    const std::string& text = *this;
    const size_t n = text.size();
    if (n == 0) return false;
    std::optional<size_t> at, secondAt, lastDot;
    for (size_t i = 0; i < n; i += DecodeUtf8(text, i).length) {
        const char32_t c = DecodeUtf8(text, i).code;
        if (c >= 0x80) continue;
        if (c == 0 || std::strchr(ForbiddenCharacters, static_cast<char>(c))) return false;
        if (c == '@') {
            if (!at) at = i;
            else if (!secondAt) secondAt = i;
        }
        if (c == '.') lastDot = i;
    }
    return at && *at != 0 && !secondAt && lastDot && *lastDot >= *at + 2 && *lastDot != n - 1;
}

}  // namespace mailwright
