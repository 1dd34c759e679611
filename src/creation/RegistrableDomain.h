#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace mailwright {

// The registrable domain of a host name by the public suffix list (libpsl): the
// public suffix and one label before it, so "google.com" for "aspmx.l.google.com" and
// "example.co.uk" for "mx.example.co.uk". Nothing for a public suffix itself or a name
// that is not a lower-case host name.
std::optional<std::string> RegistrableDomainOf(std::string_view host);

}  // namespace mailwright
