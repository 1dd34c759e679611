#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "testlib/TestDnsServer.h"

namespace mailwright::testing {

// Reply messages for a query.
struct DnsReply {
    static constexpr std::uint16_t kTypeMx = 15;
    static constexpr int kNameError = 3;  // NXDOMAIN
    static constexpr int kServerFailure = 2;

    struct Mx {
        int preference;
        std::string host;  // "" for the root (a null MX)
    };

    // The answer with these MX records (none: the name exists without MX records).
    static std::string Answer(const TestDnsServer::Query& query, const std::vector<Mx>& exchangers);
    // A reply with no answer and this response code.
    static std::string Error(const TestDnsServer::Query& query, int rcode);
    // The name in the wire form: length-prefixed labels ending with a zero byte.
    static std::string EncodeName(const std::string& name);
};

}  // namespace mailwright::testing
