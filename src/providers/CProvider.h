#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/CRefCountedT.h"

namespace mailwright {

class VeskMemoryArchive;

// Every record of the database starts with this tag.
inline constexpr std::int32_t ProviderRecordTag = 50;

// One provider record: the servers, ports, security and log-on settings for the
// mail domains it lists, and the texts shown to the user. The account record and
// the client writers read the fields directly.
class CProvider : public CRefCountedT<SingleThreadedModel> {
public:
    ~CProvider() override = default;

    // Reads the items that follow the record's tag. An unknown layout leaves every
    // field at its default; a stream that ends early keeps the defaults of the rest.
    void ReadRecord(VeskMemoryArchive& archive);

    // Appends the whole record, tag included. Throws std::invalid_argument for a
    // record the format cannot carry (layout not 1 or 2, no domain, or a second
    // copy of a text in layout 1): a reader could not find the next record after it.
    void WriteRecord(VeskMemoryArchive& archive) const;

    // True when one of the listed domains equals the domain, both without white
    // space at the ends and with A-Z folded. A blank domain never matches.
    bool MatchesDomain(std::string domain) const;

    // Which of the two record forms the provider is read from and written in:
    // 1 carries only the first copies of the texts, 2 both copies.
    std::int32_t m_layout = 2;

    std::string m_name;
    std::string m_pop3Server;
    std::string m_smtpServer;
    std::string m_altComment;  // first copies: kept, never shown
    std::string m_comment;
    std::string m_altInfoUrl;
    std::string m_infoUrl;
    std::string m_altUserNamePrompt;
    std::string m_userNamePrompt;
    std::int32_t m_smtpAuth = 1;
    std::int32_t m_pop3Ssl = 1;
    std::int32_t m_smtpSsl = 1;
    std::int32_t m_askUserName = 0;
    bool m_userNameIsEmail = true;
    std::int32_t m_smtpPort = 0;
    std::int32_t m_pop3Port = 0;
    std::vector<std::string> m_domains;
};

}  // namespace mailwright
