#pragma once
#include <memory>
#include <string>
#include <vector>

#include "account/CAccount.h"
#include "providers/CProvider.h"
#include "support/VeskException.h"

namespace mailwright::testing {

// A provider with POP3 on 995 and SMTP on 465, both secure, SMTP authentication on,
// the whole address as log-on name.
CRefCountPtr<CProvider> MakeProvider();

// The provider settings that the writers read, in the order test tables list them.
struct ProviderSettings {
    int pop3Port = 995, pop3Ssl = 1, smtpPort = 465, smtpSsl = 1, smtpAuth = 1;
    bool userNameIsEmail = true;
    int askUserName = 0;
};

// MakeProvider's provider with these settings.
CRefCountPtr<CProvider> MakeProvider(const ProviderSettings& settings);

CRefCountPtr<CAccount> MakeAccount(const std::string& displayName = "Jane Doe",
                                   const std::string& address = "jane@example.com",
                                   CRefCountPtr<CProvider> provider = MakeProvider());

// Replaces providers.lst in the application folder by a database of these providers.
void WriteProviderDatabase(const std::vector<CRefCountPtr<CProvider>>& providers);

// The bytes of a complete database with one provider per domain (MakeProvider's
// settings, servers named after the domain).
std::string BuildDatabase(const std::vector<std::string>& domains);

// The bytes of a database of these providers, version 1.
std::string DatabaseBytes(const std::vector<CRefCountPtr<CProvider>>& providers);

// What a step threw, or null when it threw nothing of the family.
template <typename Step>
std::unique_ptr<Error::VeskException> Thrown(Step step) {
    try {
        step();
    } catch (const Error::VeskException& e) {
        return std::unique_ptr<Error::VeskException>(e.Clone());
    }
    return nullptr;
}

// The message of a registry failure with code 5, as the error box shows it.
std::string AccessDenied(const std::string& text);
// The same for a file that may not grow past the size limit (a disk that is full).
std::string FileTooLarge(const std::string& text);

}  // namespace mailwright::testing
