#include "registry/CRegistryTransaction.h"

#include "registry/CRegistryKey.h"

namespace mailwright {

CRegistryTransaction::CRegistryTransaction() : CRegistryTransaction(CRegistryKey::SessionStore()) {}

CRegistryTransaction::CRegistryTransaction(std::shared_ptr<RegistryStore> store) : m_store(std::move(store)) {
    // A lock that cannot be taken refuses the transaction's changes, each at its call.
    m_refusal = m_store->BeginTransaction();
    m_open = true;
}

CRegistryTransaction::~CRegistryTransaction() {
    if (m_open) m_store->AbandonTransaction();
}

LONG CRegistryTransaction::Commit() {
    if (!m_open) return ERROR_INVALID_FUNCTION;
    m_open = false;
    return m_store->CommitTransaction();
}

}  // namespace mailwright
