#pragma once
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "creation/CProviderDiscovery.h"
#include "testlib/DnsReply.h"
#include "testlib/TestDnsServer.h"
#include "testlib/TestHttpServer.h"

namespace mailwright::testing {

// The network that discovery sees in a test: a DNS server and a web server on 127.0.0.1.
// Unless the test says otherwise, every domain is unknown to the DNS server (NXDOMAIN)
// and publishes no clientConfig file (404).
class LocalDiscovery {
public:
    using DnsHandler = TestDnsServer::Handler;
    using HttpHandler = std::function<void(const httplib::Request&, httplib::Response&)>;

    LocalDiscovery();

    void SetMx(const std::string& domain, std::vector<DnsReply::Mx> exchangers);
    // SRV records of a name such as "_pop3s._tcp.company.test".
    void SetSrv(const std::string& name, std::vector<DnsReply::Srv> records);
    // An A record (127.0.0.1) for each host; other types of these names have no records.
    void SetAddress(const std::vector<std::string>& hosts);
    void SetDnsHandler(const std::string& domain, DnsHandler handler);
    // The clientConfig file the domain publishes (status 200).
    void SetClientConfig(const std::string& domain, std::string body);
    void SetHttpHandler(const std::string& domain, HttpHandler handler);
    // The ISP database's file for the domain (status 200), at /ispdb/DOMAIN.
    void SetIspDatabaseFile(const std::string& domain, std::string body);

    // Settings that send discovery here; the file of a domain is at /DOMAIN/config-v1.1.xml,
    // the ISP database at /ispdb/DOMAIN.
    DiscoverySettings Settings(std::chrono::milliseconds timeLimit = DiscoverySettings::kTimeLimit) const;

    // What the web server was asked for: each request's path and query, in order.
    std::vector<std::string> Requests() const;
    int DnsQueries() const { return m_dns.Queries(); }

private:
    std::optional<std::string> AnswerDns(const TestDnsServer::Query& query);
    void AnswerHttp(const httplib::Request& request, httplib::Response& response);

    mutable std::mutex m_mutex;
    std::map<std::string, DnsHandler> m_dnsHandlers;
    std::map<std::pair<std::string, int>, DnsHandler> m_typedDnsHandlers;  // before the name's own
    std::map<std::string, HttpHandler> m_httpHandlers;
    std::vector<std::string> m_requests;
    // Last: the servers stop before the tables they answer from go.
    TestDnsServer m_dns;
    TestHttpServer m_http;
};

// A clientConfig file (version 1.1) with one POP3 and one SMTP server, as a domain publishes it.
std::string ClientConfigXml(const std::string& pop3Host = "pop.%EMAILDOMAIN%", const std::string& pop3Port = "995",
                            const std::string& incomingType = "pop3");

}  // namespace mailwright::testing
