#include "providers/ProviderValues.h"

#include <algorithm>
#include <cstdint>

#include "providers/CProvider.h"
#include "support/TextUtil.h"

namespace mailwright {
namespace {

bool IsLabelCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

// Counts the labels of a host name, or gives 0 when it is not one.
std::size_t CountLabels(std::string_view name) {
    if (name.empty() || name.size() > 253) return 0;
    std::size_t labels = 0;
    while (true) {
        const std::size_t dot = name.find('.');
        const std::string_view label = name.substr(0, dot);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-' ||
            !std::all_of(label.begin(), label.end(), IsLabelCharacter))
            return 0;
        ++labels;
        if (dot == std::string_view::npos) return labels;
        name.remove_prefix(dot + 1);
    }
}

std::string Quoted(std::string_view text) {
    constexpr std::size_t kShown = 60;
    std::string shown = "\"";
    for (char c : text.substr(0, kShown)) shown += HasControlCharacter(std::string_view(&c, 1)) ? '?' : c;
    if (text.size() > kShown) shown += "...";
    return shown + "\"";
}

// What a link may be: nothing, or an address that a web browser opens.
bool IsWebLinkOrEmpty(std::string_view link) {
    return link.empty() || StartsWithNoCase(link, "https://") || StartsWithNoCase(link, "http://");
}

constexpr const char* kHostName =
    "a host name (letters, digits and \"-\" in dot-separated labels of at most 63 characters)";
constexpr const char* kNoControl = "a text without control characters";

struct TextRule {
    const char* field;
    std::string CProvider::*text;
};

// Every text of the record, in record order.
constexpr TextRule kTexts[] = {
    {"name", &CProvider::m_name},
    {"alt_comment", &CProvider::m_altComment},
    {"comment", &CProvider::m_comment},
    {"alt_info_url", &CProvider::m_altInfoUrl},
    {"info_url", &CProvider::m_infoUrl},
    {"alt_user_name_prompt", &CProvider::m_altUserNamePrompt},
    {"user_name_prompt", &CProvider::m_userNamePrompt},
};

struct ServerRule {
    const char* server;
    const char* port;
    std::string CProvider::*name;
    std::int32_t CProvider::*number;
};

constexpr ServerRule kServers[] = {
    {"pop3.server", "pop3.port", &CProvider::m_pop3Server, &CProvider::m_pop3Port},
    {"smtp.server", "smtp.port", &CProvider::m_smtpServer, &CProvider::m_smtpPort},
};

}  // namespace

std::optional<ImpossibleValue> FindImpossibleValue(const CProvider& provider) {
    for (const TextRule& rule : kTexts) {
        const std::string& text = provider.*(rule.text);
        if (HasControlCharacter(text)) return ImpossibleValue{rule.field, Quoted(text), kNoControl};
    }
    if (!IsWebLinkOrEmpty(provider.m_infoUrl))
        return ImpossibleValue{"info_url", Quoted(provider.m_infoUrl), "empty or a web address (http:// or https://)"};
    for (const ServerRule& rule : kServers) {
        const std::string& name = provider.*(rule.name);
        if (!IsHostName(name)) return ImpossibleValue{rule.server, Quoted(name), kHostName};
        const std::int32_t port = provider.*(rule.number);
        if (port < 1 || port > 65535)
            return ImpossibleValue{rule.port, std::to_string(port), "a port number from 1 to 65535"};
    }
    if (provider.m_domains.empty()) return ImpossibleValue{"domains", "[]", "at least one domain"};
    for (const std::string& domain : provider.m_domains)
        if (!IsHostName(domain)) return ImpossibleValue{"domains", Quoted(domain), "domains that are " + std::string(kHostName)};
    return std::nullopt;
}

bool IsHostName(std::string_view name) { return CountLabels(name) >= 2; }

}  // namespace mailwright
