#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace mailwright {

// The domain as the DNS and the database know it: an internationalised name in its
// A-label form ("bücher.example" gives "xn--bcher-kva.example"), by IDNA 2008 with the
// TR 46 mapping (libidn2), so also in lower case. An ASCII name comes back as given;
// nothing when the text is no valid internationalised name.
std::optional<std::string> AsciiDomainOf(std::string_view domain);

}  // namespace mailwright
