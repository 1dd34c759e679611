#pragma once
#include <memory>
#include <string>

#include "support/WinTypes.h"
#include "update/CUpdateJob.h"
#include "update/VeskWorkerThreadBaseT.h"

namespace mailwright {

class IMessagePoster;
class IProgress;
class IThreadContact;

// The background update of the provider database: a worker that downloads the
// database (CUpdateJob) once per Start and once more after the interval when that
// succeeded. Results arrive as WM_UPDATE_RESULT at the parent of the notify window,
// progress as WM_UPDATE_PROGRESS at the notify window after the percentage was
// stored through IProgress.
class CUpdateThread : public VeskWorkerThreadBaseT<CUpdateThread> {
public:
    static constexpr DWORD kDefaultTimeoutMs = 10000;

    // urlOverride replaces the built-in download address (mirrors, tests); timeoutMs
    // bounds each network operation.
    explicit CUpdateThread(std::string urlOverride = {}, DWORD timeoutMs = kDefaultTimeoutMs);
    ~CUpdateThread() override = default;

    // Set by the owner before Start; none of them is owned.
    void SetWiring(IMessagePoster* poster, HWND hNotifyWnd, IProgress* progress, IThreadContact* contact);

private:
    friend class VeskWorkerThreadBaseT<CUpdateThread>;
    std::unique_ptr<CUpdateJob> CreateJob(std::shared_ptr<VeskWorkerGate> gate);

    IProgress* m_pProgress = nullptr;
    IThreadContact* m_pContact = nullptr;
    HWND m_hNotifyWnd = nullptr;
    IMessagePoster* m_pPoster = nullptr;
    std::string m_strUrlOverride;
    DWORD m_dwTimeout;
};

}  // namespace mailwright
