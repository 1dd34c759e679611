#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "creation/CProviderDiscovery.h"

namespace mailwright {

// Creates one POP3/SMTP account from an e-mail address and a display name: finds the
// address's provider (in the database, else by discovery), builds the account, asks for
// the log-on name when the provider wants one, runs the writer of the chosen client and
// shows the result. Create reports its failures itself (error boxes are left out in
// silent mode) and never throws.
class CMailAccountCreator {
public:
    CMailAccountCreator(std::string emailAddress, std::string displayName, bool silent);
    virtual ~CMailAccountCreator() = default;

    // The client is a MailClientKind. True only when the writer wrote the account.
    bool Create(std::int32_t client);

    // Where discovery looks for a domain that the database does not list.
    void SetDiscoverySettings(DiscoverySettings settings) { m_discoverySettings = std::move(settings); }

private:
    void CreateSteps(std::int32_t client, bool& result);
    // Discovery on a thread of its own while the user interface waits; nothing when it
    // finds nothing or the user cancels it (then `cancelled` is set).
    std::optional<CProviderDiscovery::Found> DiscoverProvider(const CProviderDatabase& database, bool& cancelled);

    std::string m_emailAddress;
    std::string m_displayName;
    std::string m_domain;  // the domain looked up
    bool m_silent;
    DiscoverySettings m_discoverySettings;
};

}  // namespace mailwright
