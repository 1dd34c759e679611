#include "creation/CMailAccountCreator.h"

#include <exception>
#include <optional>

#include "account/CAccount.h"
#include "creation/CommentMessage.h"
#include "creation/SubdomainHostDomain.h"
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

// The part of the address after its first "@"; the whole address when it has none.
std::string DomainPart(const std::string& address) {
    const size_t at = address.find('@');
    return at == std::string::npos ? address : address.substr(at + 1);
}

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
    CProviderDatabase database;
    if (!database.Load()) throw Error::VeskExceptionText(IDS_ERR_LOCATING_DATABASE, kSource, kFunction, 27);

    m_displayName = Trim(m_displayName);
    if (m_displayName.empty()) {
        const size_t at = m_emailAddress.find('@');
        m_displayName = at == std::string::npos ? std::string() : m_emailAddress.substr(0, at);
    }
    m_domain = DomainPart(m_emailAddress);
    // Customers of the subdomain host are listed under the host's own domain.
    const std::string host = SubdomainHostDomain;
    const size_t hostAt = m_domain.find(host);
    if (hostAt != std::string::npos && hostAt + host.size() == m_domain.size()) m_domain.erase(0, hostAt);

    CRefCountPtr<CProvider> provider = database.FindByDomain(m_domain);
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
    // Their servers carry the customer's own subdomain.
    if (!discovered && m_domain == host) provider->m_pop3Server = provider->m_smtpServer = DomainPart(m_emailAddress);

    CRefCountPtr<CAccount> account = MakeAccount(m_displayName, m_emailAddress, provider);
    if (provider->m_askUserName != 0) {
        std::optional<std::string> name = UserInterface().AskUserName(account->GetUserNamePrompt());
        if (!name) return;
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
    const std::string domain = DomainPart(m_emailAddress);
    std::optional<CProviderDiscovery::Found> found;
    VeskBackgroundTask task([&](std::stop_token stop) { found = discovery.Discover(domain, stop); });
    UserInterface().WaitForTask(task);
    task.Wait();
    cancelled = task.IsCancelled();
    return cancelled ? std::nullopt : std::move(found);
}

}  // namespace mailwright
