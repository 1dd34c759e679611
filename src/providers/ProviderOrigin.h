#pragma once
#include <map>
#include <string>
#include <vector>

#include "providers/SourceReference.h"

namespace mailwright {

// Where one record of the provider source comes from: its `source`, which vouches for
// the settings and for the domains that the cited ISP database files list (for every
// domain when it cites none), and the own source of each other domain (`domain_sources`).
struct ProviderOrigin {
    std::string record;  // the record's name
    int line = 0;        // the line of its [[provider]] header
    std::vector<SourceReference> source;
    std::map<std::string, std::vector<SourceReference>> domainSources;
};

}  // namespace mailwright
