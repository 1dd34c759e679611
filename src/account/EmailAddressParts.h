#pragma once
#include <string>
#include <string_view>

namespace mailwright {

// An e-mail address cut at its first "@": the one place where the program splits an
// address. Without an "@" the local part is empty and the domain is the whole text.
struct EmailAddressParts {
    std::string localPart;
    std::string domain;
};

EmailAddressParts SplitEmailAddress(std::string_view address);

}  // namespace mailwright
