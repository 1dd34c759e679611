#include "testlib/LocalDiscovery.h"

namespace mailwright::testing {

LocalDiscovery::LocalDiscovery()
    : m_dns([this](const TestDnsServer::Query& query) { return AnswerDns(query); }) {
    m_http.Server().Get(R"(/.*)", [this](const httplib::Request& request, httplib::Response& response) {
        AnswerHttp(request, response);
    });
    m_http.Start();
}

void LocalDiscovery::SetMx(const std::string& domain, std::vector<DnsReply::Mx> exchangers) {
    SetDnsHandler(domain, [exchangers](const TestDnsServer::Query& query) -> std::optional<std::string> {
        if (query.type != DnsReply::kTypeMx) return DnsReply::Answer(query, {});
        return DnsReply::Answer(query, exchangers);
    });
}

void LocalDiscovery::SetSrv(const std::string& name, std::vector<DnsReply::Srv> records) {
    SetDnsHandler(name, [records](const TestDnsServer::Query& query) -> std::optional<std::string> {
        if (query.type != DnsReply::kTypeSrv) return DnsReply::Answer(query, {});
        return DnsReply::SrvAnswer(query, records);
    });
}

void LocalDiscovery::SetAddress(const std::vector<std::string>& hosts) {
    std::lock_guard lock(m_mutex);
    for (const std::string& host : hosts) {
        m_typedDnsHandlers[{host, DnsReply::kTypeA}] = [](const TestDnsServer::Query& query) -> std::optional<std::string> {
            return DnsReply::AddressAnswer(query, {"127.0.0.1"});
        };
        // The name exists: its other records are empty answers, unless the test gave some.
        if (!m_dnsHandlers.count(host))
            m_dnsHandlers[host] = [](const TestDnsServer::Query& query) -> std::optional<std::string> {
                return DnsReply::Answer(query, {});
            };
    }
}

void LocalDiscovery::SetDnsHandler(const std::string& domain, DnsHandler handler) {
    std::lock_guard lock(m_mutex);
    m_dnsHandlers[domain] = std::move(handler);
}

void LocalDiscovery::SetClientConfig(const std::string& domain, std::string body) {
    SetHttpHandler(domain, [body](const httplib::Request&, httplib::Response& response) {
        response.set_content(body, "text/xml");
    });
}

void LocalDiscovery::SetHttpHandler(const std::string& domain, HttpHandler handler) {
    std::lock_guard lock(m_mutex);
    m_httpHandlers[domain] = std::move(handler);
}

void LocalDiscovery::SetIspDatabaseFile(const std::string& domain, std::string body) {
    SetHttpHandler("ispdb/" + domain, [body](const httplib::Request&, httplib::Response& response) {
        response.set_content(body, "text/xml");
    });
}

DiscoverySettings LocalDiscovery::Settings(std::chrono::milliseconds timeLimit) const {
    return {m_dns.Address(), m_http.Url("/{domain}/config-v1.1.xml"), timeLimit, m_http.Url("/ispdb/{domain}"), {}};
}

std::vector<std::string> LocalDiscovery::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::optional<std::string> LocalDiscovery::AnswerDns(const TestDnsServer::Query& query) {
    DnsHandler handler;
    {
        std::lock_guard lock(m_mutex);
        const auto typed = m_typedDnsHandlers.find({query.name, query.type});
        const auto found = m_dnsHandlers.find(query.name);
        if (typed != m_typedDnsHandlers.end()) handler = typed->second;
        else if (found != m_dnsHandlers.end()) handler = found->second;
    }
    return handler ? handler(query) : DnsReply::Error(query, DnsReply::kNameError);
}

void LocalDiscovery::AnswerHttp(const httplib::Request& request, httplib::Response& response) {
    HttpHandler handler;
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request.target);
        std::string domain = request.path.substr(1, request.path.find('/', 1) - 1);
        if (domain == "ispdb") domain = request.path.substr(1);
        const auto found = m_httpHandlers.find(domain);
        if (found != m_httpHandlers.end()) handler = found->second;
    }
    if (handler) handler(request, response);
    else response.status = 404;
}

std::string ClientConfigXml(const std::string& pop3Host, const std::string& pop3Port, const std::string& incomingType) {
    return "<?xml version=\"1.0\"?>\n<clientConfig version=\"1.1\"><emailProvider id=\"published\">"
           "<domain>published.example</domain><displayName>Published Mail</displayName>"
           "<incomingServer type=\"" + incomingType + "\"><hostname>" + pop3Host + "</hostname><port>" + pop3Port +
           "</port><socketType>SSL</socketType><username>%EMAILLOCALPART%</username>"
           "<authentication>password-cleartext</authentication></incomingServer>"
           "<outgoingServer type=\"smtp\"><hostname>smtp.%EMAILDOMAIN%</hostname><port>587</port>"
           "<socketType>STARTTLS</socketType><username>%EMAILLOCALPART%</username>"
           "<authentication>password-cleartext</authentication></outgoingServer>"
           "</emailProvider></clientConfig>\n";
}

}  // namespace mailwright::testing
