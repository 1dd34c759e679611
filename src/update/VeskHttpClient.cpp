#include "update/VeskHttpClient.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

#include "support/TextUtil.h"

namespace mailwright {
namespace {

using Clock = std::chrono::steady_clock;

// How long one wait for the network may last before the abandon check is asked again.
constexpr int kPollSliceMs = 50;

bool IsAcceptedStatus(int status) {
    return (status >= 200 && status <= 206) || status == 304 || status == 305;
}

bool IsFollowedRedirect(int status) { return status >= 301 && status <= 303; }

// The CA certificates that OpenSSL programs trust instead of the system's when asked to;
// none means libcurl's own default, the system's CA store.
const char* TrustedCertificatesFile() {
    const char* file = std::getenv("SSL_CERT_FILE");
    return file && *file ? file : nullptr;
}

}  // namespace

void VeskHttpClient::GlobalInitialize() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

VeskHttpClient::VeskHttpClient() {
    GlobalInitialize();
    m_curl = curl_easy_init();
    m_multi = curl_multi_init();
    if (!m_curl || !m_multi) {
        if (m_curl) curl_easy_cleanup(m_curl);
        if (m_multi) curl_multi_cleanup(m_multi);
        throw std::runtime_error("cannot make an HTTP client");
    }
}

VeskHttpClient::~VeskHttpClient() {
    curl_multi_cleanup(m_multi);
    curl_easy_cleanup(m_curl);
}

bool VeskHttpClient::Navigate(const std::string& url, const VeskNavigateData& data) {
    m_status = 0;
    std::string target = url;
    bool https = false;
    for (int redirects = 0;; ++redirects) {
        const Outcome outcome = Perform(target, data, https);
        if (redirects == 0 && outcome != Outcome::Done) return false;
        if (outcome == Outcome::NotSent || outcome == Outcome::Refused) return false;
        if (outcome == Outcome::ReadFailed) {
            m_status = 0;  // a redirect was followed: accepted, but no status was seen
            return true;
        }
        https = https || WasHttps();
        if (IsFollowedRedirect(m_status) && redirects < kMaxRedirects) {
            std::string next = RedirectTarget();
            if (!next.empty()) {
                target = std::move(next);
                continue;
            }
        }
        return redirects > 0 || IsFollowedRedirect(m_status) || IsAcceptedStatus(m_status);
    }
}

VeskHttpClient::Outcome VeskHttpClient::Perform(const std::string& url, const VeskNavigateData& data,
                                                bool httpsOnly) {
    curl_easy_reset(m_curl);
    curl_easy_setopt(m_curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(m_curl, CURLOPT_CUSTOMREQUEST, data.method == "GET" ? nullptr : data.method.c_str());
    curl_easy_setopt(m_curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(m_curl, CURLOPT_PROTOCOLS_STR, httpsOnly ? "https" : "http,https");
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(m_curl, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    if (const char* certificates = TrustedCertificatesFile()) curl_easy_setopt(m_curl, CURLOPT_CAINFO, certificates);
    curl_easy_setopt(m_curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(m_curl, CURLOPT_PROXY, "");  // a direct connection, as the Windows program makes
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(data.timeoutMs));
    curl_easy_setopt(m_curl, CURLOPT_BUFFERSIZE, static_cast<long>(data.readBlockSize));
    curl_easy_setopt(m_curl, CURLOPT_PREREQFUNCTION, &VeskHttpClient::OnConnected);
    curl_easy_setopt(m_curl, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_HEADERFUNCTION, &VeskHttpClient::OnHeader);
    curl_easy_setopt(m_curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &VeskHttpClient::OnBody);
    curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, this);

    m_data = &data;
    StartResponse();
    m_refused = false;
    m_requestSent = false;
    const Outcome outcome = RunTransfer(data);
    m_data = nullptr;
    if (outcome != Outcome::Done) return outcome;
    long status = 0;
    curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &status);
    m_status = static_cast<int>(status);
    return Outcome::Done;
}

// Drives the transfer in short waits, so that an abandoned request ends at once and a
// silent server is given up after the time-out: for connecting, then between reads.
VeskHttpClient::Outcome VeskHttpClient::RunTransfer(const VeskNavigateData& data) {
    curl_multi_add_handle(m_multi, m_curl);
    const auto timeout = std::chrono::milliseconds(data.timeoutMs);
    bool abandoned = false;
    int running = 1;
    while (running > 0) {
        if (curl_multi_perform(m_multi, &running) != CURLM_OK || running == 0) break;
        if (m_refused || (data.isAbandoned && data.isAbandoned())) {
            abandoned = true;
            break;
        }
        if (Clock::now() - m_lastData >= timeout) break;
        curl_multi_poll(m_multi, nullptr, 0, kPollSliceMs, nullptr);
    }

    CURLcode result = CURLE_OPERATION_TIMEDOUT;  // stopped before libcurl finished
    int pending = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi, &pending)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == m_curl) result = message->data.result;
    }
    curl_multi_remove_handle(m_multi, m_curl);

    if (m_refused || abandoned) return Outcome::Refused;
    if (result == CURLE_OK) return Outcome::Done;
    return m_requestSent ? Outcome::ReadFailed : Outcome::NotSent;
}

std::string VeskHttpClient::RedirectTarget() const {
    char* location = nullptr;
    curl_easy_getinfo(m_curl, CURLINFO_REDIRECT_URL, &location);
    return location ? std::string(location) : std::string();
}

// Whether the last transfer went over https (its scheme as libcurl used it, whatever
// the case of the address).
bool VeskHttpClient::WasHttps() const {
    char* scheme = nullptr;
    curl_easy_getinfo(m_curl, CURLINFO_SCHEME, &scheme);
    return scheme && EqualsNoCase(scheme, "https");
}

std::string VeskHttpClient::GetResponseHeader(const std::string& name) const {
    for (const auto& [key, value] : m_headers) {
        if (EqualsNoCase(key, name)) return value;
    }
    return {};
}

void VeskHttpClient::StartResponse() {
    m_headers.clear();
    m_body.clear();
    m_received = 0;
    m_reported = 0;
    m_lastData = Clock::now();
}

// Reports the bytes received since the last report.
bool VeskHttpClient::AfterRead() {
    m_lastData = Clock::now();
    const auto bytes = static_cast<DWORD>(m_received - m_reported);
    m_reported = m_received;
    if (!m_data || !m_data->readStatusCallback) return true;
    if (m_data->readStatusCallback(bytes, m_data->readStatusParam)) return true;
    m_refused = true;
    return false;
}

int VeskHttpClient::OnConnected(void* self, char*, char*, int, int) {
    auto& client = *static_cast<VeskHttpClient*>(self);
    client.m_requestSent = true;  // the request goes out now; the time-out runs between reads
    client.m_lastData = Clock::now();
    return CURL_PREREQFUNC_OK;
}

std::size_t VeskHttpClient::OnHeader(char* text, std::size_t size, std::size_t count, void* self) {
    auto& client = *static_cast<VeskHttpClient*>(self);
    const std::size_t bytes = size * count;
    const std::string_view line(text, bytes);
    if (line.starts_with("HTTP/")) client.StartResponse();  // a new response: a redirect's or an interim one
    client.m_received += bytes;
    client.m_lastData = Clock::now();
    const std::string trimmed = Trim(line);
    if (trimmed.empty()) return client.AfterRead() ? bytes : 0;  // the headers are complete
    const std::size_t colon = trimmed.find(':');
    if (colon != std::string::npos)
        client.m_headers.emplace_back(Trim(std::string_view(trimmed).substr(0, colon)),
                                      Trim(std::string_view(trimmed).substr(colon + 1)));
    return bytes;
}

std::size_t VeskHttpClient::OnBody(char* data, std::size_t size, std::size_t count, void* self) {
    auto& client = *static_cast<VeskHttpClient*>(self);
    const std::size_t bytes = size * count;
    if (client.m_body.size() + bytes > kMaxBodySize) return 0;
    client.m_body.insert(client.m_body.end(), data, data + bytes);
    client.m_received += bytes;
    return client.AfterRead() ? bytes : 0;
}

}  // namespace mailwright
