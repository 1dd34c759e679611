#include "creation/AsciiDomain.h"

#include <idn2.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace mailwright {

std::optional<std::string> AsciiDomainOf(std::string_view domain) {
    const std::string text(domain);
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    // An ASCII name is left to the host-name checks: libidn2 refuses names (underscores,
    // long labels) that those checks should be the ones to name.
    if (ascii) return text;
    if (text.find('\0') != std::string::npos) return std::nullopt;
    char* converted = nullptr;
    const int status = idn2_to_ascii_8z(text.c_str(), &converted, IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL);
    const std::unique_ptr<char, decltype(&idn2_free)> owner(converted, &idn2_free);
    if (status != IDN2_OK || !converted) return std::nullopt;
    return std::string(converted);
}

}  // namespace mailwright
