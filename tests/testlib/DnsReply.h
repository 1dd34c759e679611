#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "testlib/TestDnsServer.h"

namespace mailwright::testing {

// Reply messages for a query.
struct DnsReply {
    static constexpr std::uint16_t kTypeA = 1;
    static constexpr std::uint16_t kTypeMx = 15;
    static constexpr std::uint16_t kTypeSrv = 33;
    static constexpr int kNameError = 3;  // NXDOMAIN
    static constexpr int kServerFailure = 2;

    struct Mx {
        int preference;
        std::string host;  // "" for the root (a null MX)
    };

    struct Srv {
        int priority;
        int weight;
        int port;
        std::string target;  // "" for the root ("."): the service is not offered
    };

    // The answer with these SRV records.
    static std::string SrvAnswer(const TestDnsServer::Query& query, const std::vector<Srv>& records);
    // The answer with these IPv4 addresses ("127.0.0.1").
    static std::string AddressAnswer(const TestDnsServer::Query& query, const std::vector<std::string>& addresses);
    // The answer with these MX records (none: the name exists without MX records).
    static std::string Answer(const TestDnsServer::Query& query, const std::vector<Mx>& exchangers);
    // A reply with no answer and this response code.
    static std::string Error(const TestDnsServer::Query& query, int rcode);
    // The name in the wire form: length-prefixed labels ending with a zero byte.
    static std::string EncodeName(const std::string& name);
};

}  // namespace mailwright::testing
