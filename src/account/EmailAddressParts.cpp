#include "account/EmailAddressParts.h"

namespace mailwright {

EmailAddressParts SplitEmailAddress(std::string_view address) {
    const std::size_t at = address.find('@');
    if (at == std::string_view::npos) return {std::string(), std::string(address)};
    return {std::string(address.substr(0, at)), std::string(address.substr(at + 1))};
}

}  // namespace mailwright
