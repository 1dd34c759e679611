#pragma once
// Accounts for the writers' tests.
#include <string>

#include "creation/CAccount.h"
#include "providers/CProvider.h"
#include "support/CRefCountPtr.h"

namespace mailwright::testing {

// A provider with POP3 on 995 and SMTP on 465, both secure, SMTP authentication on,
// the whole address as log-on name.
inline CRefCountPtr<CProvider> MakeProvider() {
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

inline CRefCountPtr<CAccount> MakeAccount(const std::string& displayName = "Jane Doe",
                                          const std::string& address = "jane@example.com",
                                          CRefCountPtr<CProvider> provider = MakeProvider()) {
    return CRefCountPtr<CAccount>(new CAccount(displayName, address, std::move(provider)));
}

}  // namespace mailwright::testing
