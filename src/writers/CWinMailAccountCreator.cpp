#include "writers/CWinMailAccountCreator.h"

#include <uuid/uuid.h>

#include "registry/CRegistryTransaction.h"
#include "support/IUserInterface.h"
#include "support/StringTable.h"
#include "support/VeskException.h"

namespace mailwright {

void CWinMailAccountCreator::CreateAccount(CRefCountPtr<CAccount> account) {
    Create(std::move(account), false, "CWinMailAccountCreator::CreateAccount", 20, IDS_ERR_UNKNOWN_WINDOWS_MAIL);
}

void CWinMailAccountCreator::CreateLiveMailAccount(CRefCountPtr<CAccount> account) {
    Create(std::move(account), true, "CWinMailAccountCreator::CreateLiveMailAccount", 42, IDS_ERR_UNKNOWN_LIVE_MAIL);
}

void CWinMailAccountCreator::Create(CRefCountPtr<CAccount> account, bool liveMail, const char* function, int line,
                                    unsigned unknownError) {
    try {
        if (!account) {
            throw Error::VeskExceptionText(LoadString(IDS_ERR_ACCOUNT_DATA) + " (2)", "WinMailAccountCreator",
                                           function, line);
        }
        m_account = account;
        CRegistryTransaction transaction;
        if (const LONG code = transaction.Refusal(); code != ERROR_SUCCESS) {
            throw Error::VeskExceptionCommon(static_cast<std::uint32_t>(code), IDS_ERR_ACCOUNT_XML,
                                             "WinMailAccountCreator", function, line);
        }
        m_xmlCreator.CreateAccountFromProviderSettings(m_account);
        m_xmlCreator.SaveDocument(MakeAccountFileName(), liveMail);
        if (const LONG code = transaction.Commit(); code != ERROR_SUCCESS) {
            throw Error::VeskExceptionCommon(static_cast<std::uint32_t>(code), IDS_ERR_ACCOUNT_XML,
                                             "WinMailAccountCreator", function, line);
        }
        m_created = true;
    } catch (const Error::VeskException& e) {
        e.ReportError();
    } catch (...) {
        AppMessageBox(unknownError, MB_OK | MB_ICONWARNING);
    }
}

std::string CWinMailAccountCreator::MakeAccountFileName() { return "account" + CreateGuidString() + ".oeaccount"; }

std::string CWinMailAccountCreator::CreateGuidString() {
    uuid_t guid;
    uuid_generate(guid);
    char text[37] = {};
    uuid_unparse_upper(guid, text);
    return std::string("{") + text + "}";
}

}  // namespace mailwright
