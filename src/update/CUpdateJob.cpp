#include "update/CUpdateJob.h"

#include <cmath>
#include <limits>

#include "BuildConfig.h"
#include "providers/CProviderDatabase.h"
#include "support/StringTable.h"
#include "support/VeskFileWrite.h"
#include "update/IMessagePoster.h"
#include "update/IProgress.h"
#include "update/UpdateResult.h"

namespace mailwright {

CUpdateJob::CUpdateJob(const Wiring& wiring, std::string urlOverride, DWORD timeoutMs,
                       std::shared_ptr<VeskWorkerGate> gate, std::optional<std::string> databaseFile)
    : m_strUrlOverride(std::move(urlOverride)),
      m_databaseFile(std::move(databaseFile)),
      m_dwTimeout(timeoutMs),
      m_wiring(wiring),
      m_pGate(std::move(gate)) {}

std::string CUpdateJob::DefaultUrl() {
    return std::string(MAILWRIGHT_UPDATE_SCHEME) + "://" + MAILWRIGHT_UPDATE_HOST + "/downloads/" +
           LoadString(IDS_DATABASE_FILE);
}

bool CUpdateJob::Initialize() {
    try {
        m_pClient = std::make_unique<VeskHttpClient>();
        m_strUrl = m_strUrlOverride.empty() ? DefaultUrl() : m_strUrlOverride;
        m_navData.method = "GET";
        m_navData.timeoutMs = m_dwTimeout;
        m_navData.readBlockSize = 0x4000;
        m_navData.readStatusCallback = &CUpdateJob::OnReadProgress;
        m_navData.readStatusParam = this;
        m_navData.isAbandoned = [gate = m_pGate] { return gate->IsClosed(); };
        return true;
    } catch (...) {
        return false;
    }
}

void CUpdateJob::Uninitialize() { m_pClient.reset(); }

bool CUpdateJob::DoWork() {
    try {
        if (!m_pClient->Navigate(m_strUrl, m_navData)) {
            PostResult(UPDATE_RESULT_FAILED);
            return false;
        }
        if (m_pClient->GetStatus() != 200) {
            PostResult(UPDATE_RESULT_CONNECTION_ERROR);
            return false;
        }
        // Whatever the server sent, only a whole database of possible values may replace
        // the one in use: it decides where the mail clients send passwords.
        if (!CProviderDatabase::IsAcceptableDatabase(m_pClient->GetBody(), m_pClient->GetBodyLength())) {
            PostResult(UPDATE_RESULT_FAILED);
            return false;
        }
        if (!SaveDatabase()) {
            PostResult(UPDATE_RESULT_WRITE_ERROR);
            m_bDownloaded = false;
            return false;
        }
        m_bDownloaded = true;
        PostResult(UPDATE_RESULT_DONE);
        return true;
    } catch (...) {
        m_bDownloaded = false;
        return false;
    }
}

// After a successful download every later request is refused at its first read, so a
// successful update always reaches the main dialog as 6000 followed by 6002.
bool CUpdateJob::OnReadProgress(DWORD /*bytesRead*/, void* param) {
    auto* job = static_cast<CUpdateJob*>(param);
    if (!job || job->m_bDownloaded) return false;
    job->UpdateSizes();
    const std::int32_t percent = job->GetPercent();
    const Wiring& wiring = job->m_wiring;
    return job->m_pGate->Pass([&] {
        if (wiring.pProgress) wiring.pProgress->SetProgress(percent);
        if (wiring.hNotifyWnd && wiring.pPoster)
            wiring.pPoster->PostMessage(wiring.hNotifyWnd, WM_UPDATE_PROGRESS, UPDATE_RESULT_DONE, 0);
    });
}

void CUpdateJob::UpdateSizes() {
    m_dTotal = ParseContentLength(m_pClient->GetResponseHeader("Content-Length"));
    m_dReceived = static_cast<std::uint32_t>(m_pClient->GetResponseLength());
}

// May exceed 100: the received count includes the status line and the headers.
std::int32_t CUpdateJob::GetPercent() const {
    if (m_dTotal <= 0) return 0;
    const double percent = std::trunc(m_dReceived / m_dTotal * 100.0);
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(percent > kMax ? kMax : percent);
}

double CUpdateJob::ParseContentLength(const std::string& value) {
    std::size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
    std::int64_t number = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        number = std::min(number * 10 + (value[i] - '0'), kLimit);  // saturates like atoi
    if (!negative) number = std::min<std::int64_t>(number, kLimit - 1);
    return static_cast<double>(negative ? -number : number);
}

// The new database goes to a temporary file beside the old one and replaces it only
// when complete; a failure at any step leaves the old file as it was.
bool CUpdateJob::SaveDatabase() {
    if (!m_databaseFile) return false;
    bool saved = false;
    m_pGate->Pass([&] {
        VeskFileWrite file(VeskFileWrite::UnixPath{*m_databaseFile});
        saved = file.IsOpen() && file.Write(m_pClient->GetBody(), m_pClient->GetBodyLength()) && file.Close();
    });
    return saved;
}

void CUpdateJob::PostResult(int code) {
    m_pGate->Pass([&] {
        if (m_wiring.pPoster) m_wiring.pPoster->PostMessage(m_wiring.hResultWnd, WM_UPDATE_RESULT, code, 0);
    });
}

}  // namespace mailwright
