#include "creation/RegistrableDomain.h"

#include <libpsl.h>

namespace mailwright {
namespace {

// The system's list (the publicsuffix package) when there is one, else libpsl's own copy;
// loaded once, kept for the process.
const psl_ctx_t* PublicSuffixList() {
    static const psl_ctx_t* const list = [] {
        const psl_ctx_t* latest = psl_latest(nullptr);
        return latest ? latest : psl_builtin();
    }();
    return list;
}

}  // namespace

std::optional<std::string> RegistrableDomainOf(std::string_view host) {
    const psl_ctx_t* list = PublicSuffixList();
    if (!list || host.empty()) return std::nullopt;
    const std::string name(host);
    const char* domain = psl_registrable_domain(list, name.c_str());
    if (!domain) return std::nullopt;
    return std::string(domain);
}

}  // namespace mailwright
