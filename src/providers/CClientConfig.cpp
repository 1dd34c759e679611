#include "providers/CClientConfig.h"

#include <pugixml.hpp>

#include <algorithm>
#include <stdexcept>

#include "providers/ProviderValues.h"
#include "support/TextUtil.h"

namespace mailwright {
namespace {

constexpr std::string_view kDomainPlaceholder = "%EMAILDOMAIN%";

// Ends the reading of a file that cannot be used; Parse turns it into the problem text.
struct Unusable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Quoted(std::string_view text) {
    constexpr std::size_t kShown = 60;
    std::string shown;
    for (char c : text.substr(0, kShown)) {
        const auto b = static_cast<unsigned char>(c);
        shown += (b < 0x20 || b == 0x7F) ? '?' : c;
    }
    if (text.size() > kShown) shown += "...";
    return "\"" + shown + "\"";
}

std::string TextOf(const pugi::xml_node& node) { return Trim(node.text().get()); }

std::int32_t ReadPort(const pugi::xml_node& server, const std::string& what) {
    const std::string text = TextOf(server.child("port"));
    const bool digits = !text.empty() && text.size() <= 5 &&
                        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    const long port = digits ? std::stol(text) : 0;
    if (port < 1 || port > 65535) throw Unusable(what + ": port " + Quoted(text) + " is not a port number from 1 to 65535");
    return static_cast<std::int32_t>(port);
}

constexpr CClientConfig::Socket kSockets[] = {CClientConfig::Socket::Plain, CClientConfig::Socket::StartTls,
                                              CClientConfig::Socket::Tls};

CClientConfig::Socket ReadSocket(const pugi::xml_node& server, const std::string& what) {
    const std::string text = TextOf(server.child("socketType"));
    for (CClientConfig::Socket socket : kSockets)
        if (EqualsNoCase(text, CClientConfig::SocketName(socket))) return socket;
    throw Unusable(what + ": socketType " + Quoted(text) + " is none of plain, STARTTLS, SSL");
}

// The host name in lower case, the placeholder for the address's domain kept as it is.
std::string ReadHostname(const pugi::xml_node& server, const std::string& what) {
    const std::string text = TextOf(server.child("hostname"));
    std::string host;
    std::string example;  // the name with the placeholder filled in, to check it
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find(kDomainPlaceholder, from);
        const std::string piece = ToLowerAscii(std::string_view(text).substr(from, at - from));
        host += piece;
        example += piece;
        if (at == std::string::npos) break;
        host += kDomainPlaceholder;
        example += "example.com";
        from = at + kDomainPlaceholder.size();
    }
    if (!IsHostName(example)) throw Unusable(what + ": hostname " + Quoted(text) + " is not a host name");
    return host;
}

CClientConfig::Server ReadServer(const pugi::xml_node& node, const std::string& what) {
    CClientConfig::Server server;
    server.hostname = ReadHostname(node, what);
    server.port = ReadPort(node, what);
    server.socket = ReadSocket(node, what);
    server.userName = TextOf(node.child("username"));
    for (const pugi::xml_node& method : node.children("authentication")) server.authentication.push_back(TextOf(method));
    return server;
}

std::optional<CClientConfig::Server> FirstServer(const pugi::xml_node& provider, const char* element, const char* type,
                                                 const std::string& what) {
    for (const pugi::xml_node& node : provider.children(element))
        if (EqualsNoCase(node.attribute("type").value(), type)) return ReadServer(node, what);
    return std::nullopt;
}

std::vector<std::string> ReadDomains(const pugi::xml_node& provider) {
    std::vector<std::string> domains;
    for (const pugi::xml_node& node : provider.children("domain")) {
        const std::string domain = ToLowerAscii(TextOf(node));
        if (!IsHostName(domain)) throw Unusable("domain " + Quoted(TextOf(node)) + " is not a mail domain");
        if (std::find(domains.begin(), domains.end(), domain) == domains.end()) domains.push_back(domain);
    }
    if (domains.empty()) throw Unusable("emailProvider lists no domain");
    return domains;
}

pugi::xml_node ReadRoot(const pugi::xml_document& document, std::string_view bytes) {
    if (bytes.size() > CClientConfig::kMaxSize)
        throw Unusable("larger than " + std::to_string(CClientConfig::kMaxSize) + " bytes");
    const pugi::xml_node root = document.document_element();
    if (std::string_view(root.name()) != "clientConfig") throw Unusable("the document is not a clientConfig");
    const pugi::xml_attribute version = root.attribute("version");
    if (version && std::string_view(version.value()) != "1.1")
        throw Unusable("clientConfig version " + Quoted(version.value()) + " is not 1.1");
    return root;
}

}  // namespace

const char* CClientConfig::SocketName(Socket socket) {
    switch (socket) {
        case Socket::Plain:
            return "plain";
        case Socket::StartTls:
            return "STARTTLS";
        case Socket::Tls:
            break;
    }
    return "SSL";
}

bool CClientConfig::Server::AcceptsPassword() const {
    static constexpr std::string_view kPasswordMethods[] = {"password-cleartext", "password-encrypted", "plain", "secure"};
    if (authentication.empty()) return true;
    return std::any_of(authentication.begin(), authentication.end(), [](const std::string& method) {
        return std::any_of(std::begin(kPasswordMethods), std::end(kPasswordMethods),
                           [&](std::string_view known) { return EqualsNoCase(method, known); });
    });
}

bool CClientConfig::Server::WantsSignOn() const {
    static constexpr std::string_view kNoSignOn[] = {"none", "client-IP-address", "smtp-after-pop"};
    if (authentication.empty()) return true;
    return !std::all_of(authentication.begin(), authentication.end(), [](const std::string& method) {
        return std::any_of(std::begin(kNoSignOn), std::end(kNoSignOn),
                           [&](std::string_view known) { return EqualsNoCase(method, known); });
    });
}

std::string CClientConfig::Server::AuthenticationText() const {
    std::string text;
    for (const std::string& method : authentication) text += (text.empty() ? "" : ", ") + method;
    return text;
}

CClientConfig CClientConfig::Parse(std::string_view bytes) {
    CClientConfig config;
    try {
        pugi::xml_document document;
        if (bytes.size() <= kMaxSize) {
            const pugi::xml_parse_result parsed = document.load_buffer(bytes.data(), bytes.size());
            if (!parsed)
                throw Unusable(std::string("not well-formed XML at byte ") + std::to_string(parsed.offset) + ": " +
                               parsed.description());
        }
        const pugi::xml_node provider = ReadRoot(document, bytes).child("emailProvider");
        if (!provider) throw Unusable("clientConfig has no emailProvider");
        config.m_id = Trim(provider.attribute("id").value());
        config.m_displayName = TextOf(provider.child("displayName"));
        config.m_domains = ReadDomains(provider);
        config.m_pop3 = FirstServer(provider, "incomingServer", "pop3", "POP3 server");
        config.m_smtp = FirstServer(provider, "outgoingServer", "smtp", "SMTP server");
    } catch (const Unusable& e) {
        config = CClientConfig();
        config.m_problem = e.what();
    }
    return config;
}

}  // namespace mailwright
