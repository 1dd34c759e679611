#include "account/CAccount.h"

#include <stdexcept>

#include "account/EmailAddressParts.h"

namespace mailwright {

CAccount::CAccount(std::string displayName, std::string emailAddress, CRefCountPtr<CProvider> provider)
    : m_displayName(std::move(displayName)), m_emailAddress(std::move(emailAddress)), m_provider(std::move(provider)) {
    if (!m_provider) throw std::invalid_argument("an account needs a provider");
}

std::string CAccount::GetEmailLocalPart() const { return SplitEmailAddress(m_emailAddress).localPart; }

Pop3UserNameForm CAccount::GetPop3UserNameForm(const CProvider& provider) {
    if (provider.m_askUserName != 0) return Pop3UserNameForm::Typed;
    return provider.m_userNameIsEmail ? Pop3UserNameForm::WholeAddress : Pop3UserNameForm::LocalPart;
}

std::string CAccount::GetPop3UserName() const {
    switch (GetPop3UserNameForm(*m_provider)) {
        case Pop3UserNameForm::Typed:
            return m_userName;
        case Pop3UserNameForm::WholeAddress:
            return m_emailAddress;
        case Pop3UserNameForm::LocalPart:
            break;
    }
    return GetEmailLocalPart();
}

}  // namespace mailwright
