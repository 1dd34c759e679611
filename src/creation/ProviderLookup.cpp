#include "creation/ProviderLookup.h"

#include "account/EmailAddressParts.h"
#include "creation/AsciiDomain.h"
#include "creation/SubdomainHostDomain.h"
#include "providers/CProviderDatabase.h"

namespace mailwright {

std::string DnsDomainOf(std::string_view address) {
    const std::string domain = SplitEmailAddress(address).domain;
    return AsciiDomainOf(domain).value_or(domain);
}

std::string LookupDomainOf(std::string_view address) {
    std::string domain = DnsDomainOf(address);
    const std::string_view host = SubdomainHostDomain;
    const size_t hostAt = domain.find(host);
    if (hostAt != std::string::npos && hostAt + host.size() == domain.size()) domain.erase(0, hostAt);
    return domain;
}

CRefCountPtr<CProvider> FindProviderOf(const CProviderDatabase& database, std::string_view address) {
    const std::string domain = LookupDomainOf(address);
    CRefCountPtr<CProvider> provider = database.FindByDomain(domain);
    if (provider && domain == SubdomainHostDomain)
        provider->m_pop3Server = provider->m_smtpServer = DnsDomainOf(address);
    return provider;
}

}  // namespace mailwright
