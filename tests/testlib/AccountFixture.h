#pragma once
#include <memory>
#include <string>
#include <vector>

#include "creation/CAccount.h"
#include "providers/CProvider.h"
#include "support/VeskException.h"

namespace mailwright::testing {

// A provider with SSL on both servers, SMTP authentication and the ports 995 and 465.
CRefCountPtr<CProvider> SslProvider();

CRefCountPtr<CAccount> AccountOf(const CRefCountPtr<CProvider>& provider, const std::string& address = "jan@example.com",
                                 const std::string& displayName = "Jan Kowalski");

// Replaces providers.lst in the application folder by a database of these providers.
void WriteProviderDatabase(const std::vector<CRefCountPtr<CProvider>>& providers);

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

}  // namespace mailwright::testing
