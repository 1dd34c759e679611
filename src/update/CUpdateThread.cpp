#include "update/CUpdateThread.h"

#include "providers/CProviderDatabase.h"
#include "support/FileSystem.h"
#include "update/IMessagePoster.h"

namespace mailwright {

CUpdateThread::CUpdateThread(std::string urlOverride, DWORD timeoutMs)
    : m_strUrlOverride(std::move(urlOverride)), m_dwTimeout(timeoutMs) {
    // libcurl's global set-up must not race with a transfer: do it before any worker exists.
    VeskHttpClient::GlobalInitialize();
}

void CUpdateThread::SetWiring(IMessagePoster* poster, HWND hNotifyWnd, IProgress* progress,
                              IThreadContact* contact) {
    m_pPoster = poster;
    m_hNotifyWnd = hNotifyWnd;
    m_pProgress = progress;
    m_pContact = contact;
}

std::unique_ptr<CUpdateJob> CUpdateThread::CreateJob(std::shared_ptr<VeskWorkerGate> gate) {
    CUpdateJob::Wiring wiring;
    wiring.pPoster = m_pPoster;
    wiring.hNotifyWnd = m_hNotifyWnd;
    // Asked here, on the owner's thread: the windows belong to it.
    wiring.hResultWnd = m_pPoster ? m_pPoster->GetParent(m_hNotifyWnd) : nullptr;
    wiring.pProgress = m_pProgress;
    // The session (the prefix's registry, its drives) is the owner's too.
    return std::make_unique<CUpdateJob>(wiring, m_strUrlOverride, m_dwTimeout, std::move(gate),
                                        UnixPathOf(CProviderDatabase::GetDatabasePath().Str()));
}

}  // namespace mailwright
