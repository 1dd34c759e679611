#pragma once
#include <string>
#include <string_view>

#include "providers/CProvider.h"
#include "support/CRefCountPtr.h"

namespace mailwright {

class CProviderDatabase;

// The domain part of an address (or a bare domain) as the DNS knows it: an
// internationalised domain in its A-label form, any other as typed.
std::string DnsDomainOf(std::string_view address);

// The domain under which account creation looks up the provider of an address or of a
// bare domain: DnsDomainOf, except that a domain ending with SubdomainHostDomain is
// looked up as SubdomainHostDomain itself (compared byte for byte, so not in capitals).
std::string LookupDomainOf(std::string_view address);

// The provider that account creation finds for an address or a bare domain; empty when
// no provider lists its lookup domain. A customer of SubdomainHostDomain reads and sends
// mail through servers named after DnsDomainOf: the found provider (in
// this loaded copy of the database only) gets that name as both servers.
CRefCountPtr<CProvider> FindProviderOf(const CProviderDatabase& database, std::string_view address);

}  // namespace mailwright
