#include "account/VeskEmailAddress.h"

#include <cstring>
#include <cwchar>
#include <optional>
#include <vector>

#include "support/TextUtil.h"

namespace mailwright {
namespace {

// Byte offsets of the characters of the text in the locale's multibyte encoding, so that
// the second byte of a double-byte character is never taken for "@" or ".". A byte that
// starts no valid character counts as a character of its own.
std::vector<size_t> CharacterStarts(const std::string& text) {
    std::vector<size_t> starts;
    std::mbstate_t state{};
    size_t i = 0;
    while (i < text.size()) {
        starts.push_back(i);
        const size_t length = std::mbrlen(text.data() + i, text.size() - i, &state);
        if (length == 0 || length > text.size() - i) {
            state = std::mbstate_t{};
            ++i;
        } else {
            i += length;
        }
    }
    return starts;
}

bool IsSingleByteCharacter(const std::string& text, const std::vector<size_t>& starts, size_t index) {
    const size_t end = index + 1 < starts.size() ? starts[index + 1] : text.size();
    return end - starts[index] == 1;
}

}  // namespace

VeskEmailAddress::VeskEmailAddress(const std::string& text) : std::string(Trim(text)) {}

bool VeskEmailAddress::IsValid() const {
    const std::string& text = *this;
    const size_t n = text.size();
    if (n == 0) return false;
    const std::vector<size_t> starts = CharacterStarts(text);
    std::optional<size_t> at, secondAt, lastDot;
    for (size_t k = 0; k < starts.size(); ++k) {
        if (!IsSingleByteCharacter(text, starts, k)) continue;
        const char c = text[starts[k]];
        if (c == '\0' || std::strchr(ForbiddenCharacters, c)) return false;
        if (c == '@') {
            if (!at) at = starts[k];
            else if (!secondAt) secondAt = starts[k];
        }
        if (c == '.') lastDot = starts[k];
    }
    return at && *at != 0 && !secondAt && lastDot && *lastDot >= *at + 2 && *lastDot != n - 1;
}

}  // namespace mailwright
