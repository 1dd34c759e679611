#include "testlib/AccountFixture.h"

#include <gtest/gtest.h>

#include "providers/CProviderDatabase.h"
#include "support/VeskFileWrite.h"
#include "support/VeskMemoryArchive.h"

namespace mailwright::testing {

CRefCountPtr<CProvider> MakeProvider() {
    CRefCountPtr<CProvider> provider(new CProvider);
    provider->m_name = "Example Mail";
    provider->m_pop3Server = "pop.example.com";
    provider->m_smtpServer = "smtp.example.com";
    provider->m_pop3Port = 995;
    provider->m_smtpPort = 465;
    provider->m_pop3Ssl = 1;
    provider->m_smtpSsl = 1;
    provider->m_smtpAuth = 1;
    provider->m_userNameIsEmail = true;
    provider->m_domains = {"example.com"};
    return provider;
}

CRefCountPtr<CProvider> MakeProvider(const ProviderSettings& settings) {
    CRefCountPtr<CProvider> provider = MakeProvider();
    provider->m_pop3Port = settings.pop3Port;
    provider->m_pop3Ssl = settings.pop3Ssl;
    provider->m_smtpPort = settings.smtpPort;
    provider->m_smtpSsl = settings.smtpSsl;
    provider->m_smtpAuth = settings.smtpAuth;
    provider->m_userNameIsEmail = settings.userNameIsEmail;
    provider->m_askUserName = settings.askUserName;
    return provider;
}

CRefCountPtr<CAccount> MakeAccount(const std::string& displayName, const std::string& address,
                                   CRefCountPtr<CProvider> provider) {
    return CRefCountPtr<CAccount>(new CAccount(displayName, address, std::move(provider)));
}

void WriteProviderDatabase(const std::vector<CRefCountPtr<CProvider>>& providers) {
    CProviderDatabase database;
    database.SetVersion(1);
    for (const auto& provider : providers) database.Add(provider);
    VeskMemoryArchive archive;
    database.Write(archive);
    VeskFileWrite file(CProviderDatabase::GetDatabasePath().Str(), FILE_SHARE_READ);
    ASSERT_TRUE(file.Write(archive.GetData(), archive.GetLength()));
    ASSERT_TRUE(file.Close());
}

std::string BuildDatabase(const std::vector<std::string>& domains) {
    std::vector<CRefCountPtr<CProvider>> providers;
    for (const std::string& domain : domains) {
        CRefCountPtr<CProvider> provider = MakeProvider();
        provider->m_name = "Provider of " + domain;
        provider->m_pop3Server = "pop." + domain;
        provider->m_smtpServer = "smtp." + domain;
        provider->m_domains = {domain};
        providers.push_back(provider);
    }
    return DatabaseBytes(providers);
}

std::string DatabaseBytes(const std::vector<CRefCountPtr<CProvider>>& providers) {
    CProviderDatabase database;
    database.SetVersion(1);
    for (const auto& provider : providers) database.Add(provider);
    VeskMemoryArchive archive;
    database.Write(archive);
    return std::string(reinterpret_cast<const char*>(archive.GetData()), archive.GetLength());
}

std::string AccessDenied(const std::string& text) { return "Access is denied. (0x5)\n\n" + text; }

std::string FileTooLarge(const std::string& text) {
    return "The file size exceeds the limit allowed and cannot be saved. (0xdf)\n\n" + text;
}

}  // namespace mailwright::testing
