#pragma once
#include <string>
#include <vector>

#include "account/CAccount.h"
#include "support/CRefCountPtr.h"
#include "support/VeskFsPathT.h"

namespace mailwright {

// Prepares an account for Microsoft Outlook 2002 and later without talking to Outlook:
// writes it as Account.prf into the chosen profile and registers that file in Outlook's
// Setup key, so that Outlook imports it at its next start. Reports its own failures.
class COutlookAccountCreator {
public:
    explicit COutlookAccountCreator(CRefCountPtr<CAccount> account);
    COutlookAccountCreator(const COutlookAccountCreator&) = delete;
    COutlookAccountCreator& operator=(const COutlookAccountCreator&) = delete;
    virtual ~COutlookAccountCreator() = default;

    // Does the whole job; never throws. Afterwards m_created tells whether it succeeded.
    void CreateOutlookAccount();

    // True once the account waits in Outlook's Setup key to be imported.
    bool m_created = false;

private:
    std::string SetupKey() const;
    bool CheckOutlookSetup();
    // The text of the box that says why Outlook takes no account now; empty when it does.
    std::string SetupProblem();
    bool HasFirstRunValue();
    void EnumerateProfiles();
    bool ChooseProfile();
    bool WriteImport(std::string& refusal);
    void RegisterImport();

    int m_outlookVersion = 0;
    std::vector<std::string> m_profiles;
    std::string m_profileName;
    CRefCountPtr<CAccount> m_account;
    VeskFsPath m_prfPath;
    std::string m_versionText;
};

}  // namespace mailwright
