#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <curl/curl.h>

#include "support/WinTypes.h"

namespace mailwright {

// Called after every read of a response with the bytes read; false fails the request.
using ReadStatusCallback = bool (*)(DWORD bytesRead, void* param);

// The settings of a request.
struct VeskNavigateData {
    std::string method = "GET";
    DWORD timeoutMs = 10000;       // each network operation: connecting, and every wait for data
    DWORD readBlockSize = 16384;
    ReadStatusCallback readStatusCallback = nullptr;
    void* readStatusParam = nullptr;
    // Asked between network waits; true abandons the request at once.
    std::function<bool()> isAbandoned;
};

// An HTTP/1.1 client over libcurl that keeps the last response in memory. Redirects
// are followed here rather than by libcurl, because the acceptance rule depends on
// them: statuses 200 to 206, 304 and 305 are accepted; 301, 302 and 303 are followed
// through their Location and then count as accepted whatever the later answer brings,
// unless the new request cannot be sent (a redirect without a Location is accepted
// with its own status); everything else fails.
//
// https is checked: the server's certificate must chain to the system's CA store (or
// to the file that SSL_CERT_FILE names, as for every OpenSSL program) and name the
// host. Once a chain of redirects has reached https it stays there: a redirect to
// plain http cannot be sent.
class VeskHttpClient {
public:
    // Redirects followed in one request; a longer chain stops at its last redirect.
    static constexpr int kMaxRedirects = 10;
    // A body beyond this is a hostile answer: the read fails instead of eating memory.
    static constexpr std::size_t kMaxBodySize = 16 * 1024 * 1024;

    // Throws std::runtime_error when libcurl cannot make a handle.
    VeskHttpClient();
    ~VeskHttpClient();
    VeskHttpClient(const VeskHttpClient&) = delete;
    VeskHttpClient& operator=(const VeskHttpClient&) = delete;

    // libcurl's process-wide set-up; call before any thread that uses a client starts.
    static void GlobalInitialize();

    // Sends the request and reads the response; true when it was obtained and accepted.
    bool Navigate(const std::string& url, const VeskNavigateData& data);

    // The status of the last response; 0 when there is none.
    int GetStatus() const { return m_status; }

    // The value of a header of the response being read (or the last one), without
    // surrounding blanks; empty when absent. Names compare without regard to case.
    std::string GetResponseHeader(const std::string& name) const;

    // Bytes of the response being read (or the last one), status line and headers included.
    std::uint64_t GetResponseLength() const { return m_received; }

    const std::uint8_t* GetBody() const { return m_body.data(); }
    std::size_t GetBodyLength() const { return m_body.size(); }

private:
    enum class Outcome { Done, NotSent, ReadFailed, Refused };

    Outcome Perform(const std::string& url, const VeskNavigateData& data, bool httpsOnly);
    Outcome RunTransfer(const VeskNavigateData& data);
    std::string RedirectTarget() const;
    bool WasHttps() const;
    void StartResponse();
    bool AfterRead();

    static int OnConnected(void* self, char* connIp, char* localIp, int connPort, int localPort);
    static std::size_t OnHeader(char* text, std::size_t size, std::size_t count, void* self);
    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self);

    CURL* m_curl = nullptr;
    CURLM* m_multi = nullptr;
    const VeskNavigateData* m_data = nullptr;  // the settings of the request in progress
    int m_status = 0;
    std::vector<std::pair<std::string, std::string>> m_headers;
    std::vector<std::uint8_t> m_body;
    std::uint64_t m_received = 0;
    std::uint64_t m_reported = 0;  // the part of m_received passed to the read callback
    bool m_refused = false;
    bool m_requestSent = false;
    std::chrono::steady_clock::time_point m_lastData;
};

}  // namespace mailwright
