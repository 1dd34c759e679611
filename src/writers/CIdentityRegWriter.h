#pragma once
#include <cstdint>
#include <string>

#include "account/CAccount.h"
#include "support/CRefCountPtr.h"

namespace mailwright {

// Writes a POP3/SMTP account into the registry keys that Outlook Express reads, for the
// identity it starts with, and makes it that identity's default mail account. Also writes
// the newsgroup-friendly reading and posting settings of Outlook Express, Windows Mail or
// Windows Live Mail. Each of the two runs in one registry transaction: written whole, or,
// after any failure (thrown as a VeskException), not at all.
class CIdentityRegWriter {
public:
    // Writes the account; m_accountWritten tells afterwards whether it ran to its end.
    void SetAccountRegistry(CRefCountPtr<CAccount> account);
    // The code-page, reply and plain-text news settings in m_client's settings key.
    void WriteSettingsKeys();

    // The steps, callable on their own.
    void GetOEStartIdentity();
    void SetNewAccountKeyName();
    void WriteAccountKeys();
    void SetCodePageSettings();

    bool m_accountWritten = false;
    std::int32_t m_client = 0;       // settings of 0 Outlook Express, 1 Windows Mail, 2 Windows Live Mail
    std::string m_accountKeyName;    // the account number as eight lower-case hex digits
    std::string m_identityId;        // the start identity, a braced GUID
    std::string m_accountManagerKey;  // under HKEY_CURRENT_USER
    std::string m_settingsKey;        // under HKEY_CURRENT_USER
    CRefCountPtr<CAccount> m_account;
};

}  // namespace mailwright
