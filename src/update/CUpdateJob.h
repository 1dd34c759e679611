#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "support/WinTypes.h"
#include "update/VeskHttpClient.h"
#include "update/VeskWorkerGate.h"

namespace mailwright {

class IMessagePoster;
class IProgress;

// One download of the provider database, run by the update worker on its own thread:
// fetches the database over HTTP and replaces providers.lst with it. Made by
// CUpdateThread at Start and owned by the worker thread alone; everything it does to
// the world outside (progress, messages, the file) goes through the worker's gate.
class CUpdateJob {
public:
    // Where results and progress go; fixed before the worker starts.
    struct Wiring {
        IMessagePoster* pPoster = nullptr;
        HWND hNotifyWnd = nullptr;  // the update dialog: WM_UPDATE_PROGRESS
        HWND hResultWnd = nullptr;  // its parent, the main dialog: WM_UPDATE_RESULT
        IProgress* pProgress = nullptr;
    };

    // An empty urlOverride means the built-in download address. databaseFile is the Unix
    // path of providers.lst, found on the owner's thread (the worker asks the session
    // nothing); none when no drive holds it, so that a download cannot be saved.
    CUpdateJob(const Wiring& wiring, std::string urlOverride, DWORD timeoutMs, std::shared_ptr<VeskWorkerGate> gate,
               std::optional<std::string> databaseFile);

    // Makes the HTTP client and the request settings; false when that fails.
    bool Initialize();
    // One download; true only after the database file was replaced.
    bool DoWork();
    void Uninitialize();

    // The built-in download address: the update host's /downloads/providers.lst, over
    // https unless the build names http.
    static std::string DefaultUrl();

    // Content-Length as the program has always read it: leading blanks and a sign,
    // digits up to the first other character, 0 when there are none.
    static double ParseContentLength(const std::string& value);

private:
    static bool OnReadProgress(DWORD bytesRead, void* param);
    void UpdateSizes();
    std::int32_t GetPercent() const;
    bool SaveDatabase();
    void PostResult(int code);

    double m_dReceived = 0;
    double m_dTotal = 0;
    std::unique_ptr<VeskHttpClient> m_pClient;
    VeskNavigateData m_navData;
    bool m_bDownloaded = false;
    std::string m_strUrl;
    std::string m_strUrlOverride;
    std::optional<std::string> m_databaseFile;
    DWORD m_dwTimeout;
    Wiring m_wiring;
    std::shared_ptr<VeskWorkerGate> m_pGate;
};

}  // namespace mailwright
