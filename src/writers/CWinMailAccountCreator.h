#pragma once
#include <string>

#include "account/CAccount.h"
#include "support/CRefCountPtr.h"
#include "writers/CXMLAccountCreator.h"

namespace mailwright {

// Puts a new account into Windows Mail or Windows Live Mail: one account file with a
// fresh name in the client's store folder, which the client takes over when it opens.
// Failures are reported to the user here; the entry points never throw.
class CWinMailAccountCreator {
public:
    CWinMailAccountCreator() = default;
    virtual ~CWinMailAccountCreator() = default;

    void CreateAccount(CRefCountPtr<CAccount> account);
    void CreateLiveMailAccount(CRefCountPtr<CAccount> account);

    // "account" + a new GUID + ".oeaccount".
    std::string MakeAccountFileName();
    // A new GUID as {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, upper-case hexadecimal.
    std::string CreateGuidString();

    // True once an account file has been saved.
    bool m_created = false;

private:
    void Create(CRefCountPtr<CAccount> account, bool liveMail, const char* function, int line, unsigned unknownError);

    CRefCountPtr<CAccount> m_account;
    CXMLAccountCreator m_xmlCreator;
};

}  // namespace mailwright
