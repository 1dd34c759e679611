#pragma once

namespace mailwright {

// The one hosting provider whose customers get subdomains of its own domain, with
// mail servers named after that subdomain (jan@firma.home.pl reads mail from the
// server firma.home.pl). The default database lists it under exactly this domain.
inline constexpr char SubdomainHostDomain[] = "home.pl";

}  // namespace mailwright
