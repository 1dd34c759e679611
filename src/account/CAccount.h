#pragma once
#include <string>

#include "providers/CProvider.h"
#include "support/CRefCountPtr.h"
#include "support/CRefCountedT.h"

namespace mailwright {

// How the POP3 log-on name of a provider's accounts is formed.
enum class Pop3UserNameForm {
    WholeAddress,  // the whole e-mail address
    LocalPart,     // the part of the address before "@"
    Typed,         // the name the user typed when asked
};

// One mail account as the writers receive it: the user's data and the provider that
// serves the address. Server settings are read from the provider, which the account
// keeps alive.
class CAccount : public CRefCountedT<SingleThreadedModel> {
public:
    CAccount(std::string displayName, std::string emailAddress, CRefCountPtr<CProvider> provider);
    ~CAccount() override = default;

    std::string GetDisplayName() const { return m_displayName; }
    std::string GetUserName() const { return m_userName; }
    std::string GetEmailAddress() const { return m_emailAddress; }
    void SetUserName(std::string name) { m_userName = std::move(name); }

    // The part of the address before its first "@"; empty when there is none.
    std::string GetEmailLocalPart() const;

    // The log-on name every writer stores: the typed name when the provider asks for
    // one, else the whole address or its local part as the provider says.
    std::string GetPop3UserName() const;

    // The provider's rule behind GetPop3UserName: asking for a name wins.
    static Pop3UserNameForm GetPop3UserNameForm(const CProvider& provider);

    std::string GetPop3Server() const { return m_provider->m_pop3Server; }
    std::string GetSmtpServer() const { return m_provider->m_smtpServer; }
    std::string GetComment() const { return m_provider->m_comment; }
    std::string GetInfoUrl() const { return m_provider->m_infoUrl; }
    std::string GetUserNamePrompt() const { return m_provider->m_userNamePrompt; }

    // The writers read the provider's ports and flags directly.
    const CRefCountPtr<CProvider>& GetProvider() const { return m_provider; }

private:
    std::string m_displayName;
    std::string m_userName;
    std::string m_emailAddress;
    CRefCountPtr<CProvider> m_provider;
};

}  // namespace mailwright
