#include "creation/CMailAccountCreator.h"

#include <exception>
#include <optional>

#include "account/CAccount.h"
#include "account/EmailAddressParts.h"
#include "creation/CommentMessage.h"
#include "creation/ProviderLookup.h"
#include "detection/WinePrefixActivity.h"
#include "providers/CProviderDatabase.h"
#include "support/IUserInterface.h"
#include "support/MailClientKind.h"
#include "support/StringTable.h"
#include "support/TextUtil.h"
#include "support/VeskBackgroundTask.h"
#include "support/VeskException.h"
#include "support/WinTypes.h"
#include "writers/CIdentityRegWriter.h"
#include "writers/COutlookAccountCreator.h"
#include "writers/CWinMailAccountCreator.h"

namespace mailwright {
namespace {

constexpr char kSource[] = "AccountCreator";
constexpr char kFunction[] = "CMailAccountCreator::Create";

bool WriteOutlookExpress(const CRefCountPtr<CAccount>& account) {
    CIdentityRegWriter writer;
    writer.SetAccountRegistry(account);
    return writer.m_accountWritten;
}

bool WriteOutlook(const CRefCountPtr<CAccount>& account) {
    COutlookAccountCreator writer(account);
    writer.CreateOutlookAccount();
    return writer.m_created;
}

bool WriteWindowsMail(const CRefCountPtr<CAccount>& account) {
    CWinMailAccountCreator writer;
    writer.CreateAccount(account);
    return writer.m_created;
}

bool WriteWindowsLiveMail(const CRefCountPtr<CAccount>& account) {
    CWinMailAccountCreator writer;
    writer.CreateLiveMailAccount(account);
    return writer.m_created;
}

// Each writer runs on a fresh writer object and returns whether it ran to its end.
struct WriterRow {
    MailClientKind client;
    bool (*write)(const CRefCountPtr<CAccount>&);
};

constexpr WriterRow kWriters[] = {
    {MailClientOutlook, WriteOutlook},
    {MailClientWindowsMail, WriteWindowsMail},
    {MailClientWindowsLiveMail, WriteWindowsLiveMail},
    {MailClientOutlookExpress, WriteOutlookExpress},
};

bool RunWriter(std::int32_t client, const CRefCountPtr<CAccount>& account) {
    for (const WriterRow& row : kWriters)
        if (row.client == client) return row.write(account);
    return false;
}

CRefCountPtr<CAccount> MakeAccount(const std::string& displayName, const std::string& address,
                                   const CRefCountPtr<CProvider>& provider) {
    try {
        return CRefCountPtr<CAccount>(new CAccount(displayName, address, provider));
    } catch (const std::exception&) {
        throw Error::VeskExceptionText(LoadString(IDS_ERR_ACCOUNT_DATA) + " (3)", kSource, kFunction, 65);
    }
}

// No client file can carry a control character: the account XML would not be well
// formed, and a profile line or a registry value would be cut or run on.
void RefuseControlCharacters(const std::string& text, StringId message, std::int32_t line) {
    if (HasControlCharacter(text)) throw Error::VeskExceptionText(message, kSource, kFunction, line);
}

}  // namespace

CMailAccountCreator::CMailAccountCreator(std::string emailAddress, std::string displayName, bool silent)
    : m_emailAddress(std::move(emailAddress)), m_displayName(std::move(displayName)), m_silent(silent) {}

bool CMailAccountCreator::Create(std::int32_t client) {
    bool result = false;
    try {
        CreateSteps(client, result);
    } catch (const Error::VeskException& e) {
        if (!m_silent) e.ReportError();
    } catch (...) {
        // Failures outside the program's own (the string library's, say) end the creation quietly.
    }
    return result;
}

// Sets `result` as soon as the writer has answered, so that a failure of the result
// dialog does not take back an account that was written.
void CMailAccountCreator::CreateSteps(std::int32_t client, bool& result) {
    // The display name is written trimmed, the address as it was typed.
    RefuseControlCharacters(m_emailAddress, IDS_ERR_CONTROL_EMAIL, __LINE__);
    RefuseControlCharacters(Trim(m_displayName), IDS_ERR_CONTROL_DISPLAY_NAME, __LINE__);
    // Before anything is read or asked: a Wine that runs the prefix owns its registry.
    if (!WinePrefixActivity::EnsureIdle()) return;
    CProviderDatabase database;
    if (!database.Load()) throw Error::VeskExceptionText(IDS_ERR_LOCATING_DATABASE, kSource, kFunction, 27);

    m_displayName = Trim(m_displayName);
    if (m_displayName.empty()) m_displayName = SplitEmailAddress(m_emailAddress).localPart;
    m_domain = LookupDomainOf(m_emailAddress);
    CRefCountPtr<CProvider> provider = FindProviderOf(database, m_emailAddress);
    std::optional<CProviderDiscovery::Found> discovered;
    if (!provider) {
        bool cancelled = false;
        discovered = DiscoverProvider(database, cancelled);
        if (cancelled) return;
        if (discovered) provider = discovered->provider;
    }
    if (!provider) {
        AppMessageBox(IDS_UNKNOWN_PROVIDER, MB_ICONEXCLAMATION);
        return;
    }

    CRefCountPtr<CAccount> account = MakeAccount(m_displayName, m_emailAddress, provider);
    if (provider->m_askUserName != 0) {
        std::optional<std::string> name = UserInterface().AskUserName(account->GetUserNamePrompt());
        if (!name) return;
        RefuseControlCharacters(*name, IDS_ERR_CONTROL_USER_NAME, __LINE__);
        account->SetUserName(*name);
    }
    result = RunWriter(client, account);
    if (result && !m_silent)
        UserInterface().ShowResult(BuildCommentMessage(account->GetComment(), account->GetInfoUrl(),
                                                       static_cast<MailClientKind>(client),
                                                       discovered ? CProviderDiscovery::DescribeOrigin(*discovered) : ""));
}

std::optional<CProviderDiscovery::Found> CMailAccountCreator::DiscoverProvider(const CProviderDatabase& database,
                                                                               bool& cancelled) {
    CProviderDiscovery discovery(database, m_discoverySettings);
    const std::string domain = DnsDomainOf(m_emailAddress);
    std::optional<CProviderDiscovery::Found> found;
    VeskBackgroundTask task([&](std::stop_token stop) { found = discovery.Discover(domain, stop); });
    UserInterface().WaitForTask(task);
    task.Wait();
    cancelled = task.IsCancelled();
    return cancelled ? std::nullopt : std::move(found);
}

}  // namespace mailwright
