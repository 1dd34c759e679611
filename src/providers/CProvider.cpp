#include "providers/CProvider.h"

#include <stdexcept>
#include <string_view>

#include "support/TextUtil.h"
#include "support/VeskMemoryArchive.h"

namespace mailwright {
namespace {

std::string_view TrimView(std::string_view text) {
    while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

void CProvider::ReadRecord(VeskMemoryArchive& archive) {
    std::int32_t layout = 0;
    archive.ReadValueItem(layout);
    if (layout != 1 && layout != 2) return;
    m_layout = layout;
    const bool both = layout == 2;

    archive.ReadStringItem(m_name);
    archive.ReadStringItem(m_pop3Server);
    archive.ReadStringItem(m_smtpServer);
    archive.ReadStringItem(m_altComment);
    if (both) archive.ReadStringItem(m_comment);
    archive.ReadStringItem(m_altInfoUrl);
    if (both) archive.ReadStringItem(m_infoUrl);

    archive.ReadValueItem(m_smtpAuth);
    archive.ReadValueItem(m_pop3Ssl);
    archive.ReadValueItem(m_smtpSsl);
    archive.ReadValueItem(m_smtpPort);
    archive.ReadValueItem(m_pop3Port);

    std::int32_t domainCount = 0;
    archive.ReadValueItem(domainCount);
    if (domainCount == 0) return;
    // A damaged count must not make the reader spin or fill memory past the
    // stream's end: no item can be read there anyway.
    for (std::int32_t i = 0; i < domainCount && !archive.AtEnd(); ++i) {
        std::string domain;
        archive.ReadStringItem(domain);
        m_domains.push_back(std::move(domain));
    }

    archive.ReadValueItem(m_userNameIsEmail);
    archive.ReadValueItem(m_askUserName);
    archive.ReadStringItem(m_altUserNamePrompt);
    if (both) archive.ReadStringItem(m_userNamePrompt);
}

void CProvider::WriteRecord(VeskMemoryArchive& archive) const {
    if (m_layout != 1 && m_layout != 2)
        throw std::invalid_argument("provider \"" + m_name + "\": layout must be 1 or 2");
    if (m_domains.empty()) throw std::invalid_argument("provider \"" + m_name + "\": no domain");
    const bool both = m_layout == 2;
    if (!both && !(m_comment.empty() && m_infoUrl.empty() && m_userNamePrompt.empty()))
        throw std::invalid_argument("provider \"" + m_name + "\": layout 1 has no second copies of the texts");

    archive.WriteValueItem(ProviderRecordTag);
    archive.WriteValueItem(m_layout);
    archive.WriteStringItem(m_name);
    archive.WriteStringItem(m_pop3Server);
    archive.WriteStringItem(m_smtpServer);
    archive.WriteStringItem(m_altComment);
    if (both) archive.WriteStringItem(m_comment);
    archive.WriteStringItem(m_altInfoUrl);
    if (both) archive.WriteStringItem(m_infoUrl);
    archive.WriteValueItem(m_smtpAuth);
    archive.WriteValueItem(m_pop3Ssl);
    archive.WriteValueItem(m_smtpSsl);
    archive.WriteValueItem(m_smtpPort);
    archive.WriteValueItem(m_pop3Port);
    archive.WriteValueItem(static_cast<std::int32_t>(m_domains.size()));
    for (const std::string& domain : m_domains) archive.WriteStringItem(domain);
    archive.WriteValueItem(m_userNameIsEmail);
    archive.WriteValueItem(m_askUserName);
    archive.WriteStringItem(m_altUserNamePrompt);
    if (both) archive.WriteStringItem(m_userNamePrompt);
}

bool CProvider::MatchesDomain(std::string domain) const {
    const std::string_view wanted = TrimView(domain);
    if (wanted.empty()) return false;
    for (const std::string& listed : m_domains) {
        if (EqualsNoCase(TrimView(listed), wanted)) return true;
    }
    return false;
}

}  // namespace mailwright
