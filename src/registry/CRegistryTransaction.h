#pragma once
#include <memory>

#include "registry/RegistryStore.h"
#include "support/WinTypes.h"

namespace mailwright {

// One user action's registry work, all or nothing. While the object lives, the registry
// of the current session (or the store given) holds the prefix's lock, keeps every write
// in memory and lets this thread's reads see them; every key the action opens joins it.
// Commit saves each changed hive once; a transaction destroyed without a successful
// Commit leaves the registry as it was. The per-call results of the key layer stay as
// they are: a write refused (a wineserver runs the prefix) fails at its call.
class CRegistryTransaction {
public:
    CRegistryTransaction();
    explicit CRegistryTransaction(std::shared_ptr<RegistryStore> store);
    ~CRegistryTransaction();
    CRegistryTransaction(const CRegistryTransaction&) = delete;
    CRegistryTransaction& operator=(const CRegistryTransaction&) = delete;

    // Why the transaction's changes will be refused from the start (the prefix's lock could
    // not be taken, ERROR_MW_PREFIX_BUSY when another writer kept it), or ERROR_SUCCESS.
    LONG Refusal() const { return m_refusal; }

    // Saves the changes; the Windows error code of the save when it fails, after which
    // nothing of the transaction is in the registry. Once only.
    LONG Commit();

private:
    std::shared_ptr<RegistryStore> m_store;
    bool m_open = false;
    LONG m_refusal = ERROR_SUCCESS;
};

}  // namespace mailwright
