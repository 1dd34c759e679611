#include "creation/CMailServerProbe.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>

#include "support/TextUtil.h"
#include "update/VeskHttpClient.h"

namespace mailwright {
namespace {

using Kind = CMailServerProbe::Kind;
using Outcome = CMailServerProbe::Outcome;

constexpr int kPollSliceMs = 50;
// A server that talks on and on is hostile; what a real one says fits easily.
constexpr std::size_t kMaxTranscriptLines = 200;
constexpr std::size_t kMaxLineLength = 1000;

struct Line {
    bool fromServer;
    std::string text;
};

// One probe in flight: libcurl's handle and what was said over it.
struct Probe {
    std::size_t index = 0;
    CURL* curl = nullptr;
    curl_slist* resolve = nullptr;
    curl_slist* connectTo = nullptr;
    std::vector<Line> transcript;
    char error[CURL_ERROR_SIZE] = {};

    ~Probe() {
        if (curl) curl_easy_cleanup(curl);
        curl_slist_free_all(resolve);
        curl_slist_free_all(connectTo);
    }
};

int OnDebug(CURL*, curl_infotype type, char* data, std::size_t size, void* param) {
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT) return 0;
    auto& probe = *static_cast<Probe*>(param);
    std::string_view text(data, size);
    while (!text.empty() && probe.transcript.size() < kMaxTranscriptLines) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        std::string shown = Trim(line.substr(0, kMaxLineLength));
        // What a server says ends up on a terminal: no escape sequences from it.
        for (char& c : shown)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
        probe.transcript.push_back({type == CURLINFO_HEADER_IN, std::move(shown)});
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return 0;
}

bool IsPop3(Kind kind) { return kind == Kind::Pop3Tls || kind == Kind::Pop3Plain; }

const char* SchemeOf(Kind kind) {
    switch (kind) {
    case Kind::Pop3Tls:
        return "pop3s";
    case Kind::Pop3Plain:
        return "pop3";
    case Kind::SmtpTls:
        return "smtps";
    case Kind::SmtpStartTls:
    case Kind::SmtpPlain:
        break;
    }
    return "smtp";
}

std::string UrlOf(const CMailServerProbe::Target& target) {
    // The path of an SMTP address is the name given with EHLO; none would send ours.
    const char* path = IsPop3(target.kind) ? "/" : "/localhost";
    return std::string(SchemeOf(target.kind)) + "://" + target.host + ":" + std::to_string(target.port) + path;
}

std::string ResolveEntry(const CMailServerProbe::Target& target) {
    std::string entry = target.host + ":" + std::to_string(target.port) + ":";
    for (std::size_t i = 0; i < target.addresses.size(); ++i) {
        const std::string& address = target.addresses[i];
        entry += (i ? "," : "") + (address.find(':') != std::string::npos ? "[" + address + "]" : address);
    }
    return entry;
}

const char* TrustedCertificatesFile() {
    const char* file = std::getenv("SSL_CERT_FILE");
    return file && *file ? file : nullptr;
}

void Configure(Probe& probe, const CMailServerProbe::Target& target, const std::vector<std::string>& connectTo,
               std::chrono::milliseconds perProbe) {
    CURL* curl = probe.curl;
    curl_easy_setopt(curl, CURLOPT_URL, UrlOf(target).c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "pop3,pop3s,smtps,smtp");
    curl_easy_setopt(curl, CURLOPT_CONNECT_ONLY, 1L);  // greeting and capabilities, no sign-on
    if (target.kind == Kind::SmtpStartTls) curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    if (const char* certificates = TrustedCertificatesFile()) curl_easy_setopt(curl, CURLOPT_CAINFO, certificates);
    curl_easy_setopt(curl, CURLOPT_CERTINFO, 1L);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(perProbe.count()));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(perProbe.count()));
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, probe.error);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);  // the debug callback sees the protocol's lines
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, &OnDebug);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &probe);
    curl_easy_setopt(curl, CURLOPT_PRIVATE, &probe);
    if (!target.addresses.empty()) {
        probe.resolve = curl_slist_append(nullptr, ResolveEntry(target).c_str());
        curl_easy_setopt(curl, CURLOPT_RESOLVE, probe.resolve);
    }
    for (const std::string& rule : connectTo) probe.connectTo = curl_slist_append(probe.connectTo, rule.c_str());
    if (probe.connectTo) curl_easy_setopt(curl, CURLOPT_CONNECT_TO, probe.connectTo);
}

std::string CertificateExpiry(CURL* curl) {
    curl_certinfo* info = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_CERTINFO, &info) != CURLE_OK || !info || info->num_of_certs < 1) return {};
    constexpr std::string_view kExpiry = "Expire date:";
    for (const curl_slist* entry = info->certinfo[0]; entry; entry = entry->next)
        if (std::string_view(entry->data).starts_with(kExpiry))
            return Trim(std::string_view(entry->data).substr(kExpiry.size()));
    return {};
}

// The server's lines that answer the last command beginning with `command`; nothing
// when the command was never sent.
std::optional<std::vector<std::string>> AnswerTo(const std::vector<Line>& transcript, std::string_view command) {
    std::optional<std::vector<std::string>> answer;
    bool collecting = false;
    for (const Line& line : transcript) {
        if (!line.fromServer) {
            collecting = StartsWithNoCase(line.text, command);
            if (collecting) answer.emplace();
        } else if (collecting) {
            answer->push_back(line.text);
        }
    }
    return answer;
}

std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        if (end > at) words.emplace_back(text.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

// POP3: "+OK" at the greeting and at CAPA; SASL methods and USER sign on.
std::string CheckPop3(const std::vector<Line>& transcript, Outcome& outcome) {
    if (!outcome.greeting.starts_with("+OK")) return "greeted without \"+OK\"";
    const auto capa = AnswerTo(transcript, "CAPA");
    if (!capa || capa->empty() || !capa->front().starts_with("+OK")) return "no answer to CAPA";
    for (const std::string& line : *capa) {
        std::vector<std::string> words = Words(line);
        if (words.empty()) continue;
        if (EqualsNoCase(words.front(), "SASL")) outcome.authentication.insert(outcome.authentication.end(), words.begin() + 1, words.end());
        if (EqualsNoCase(words.front(), "USER")) outcome.authentication.push_back("USER");
    }
    return {};
}

// SMTP: "220" at the greeting, "250" to the last EHLO; its AUTH methods.
std::string CheckSmtp(const std::vector<Line>& transcript, Kind kind, Outcome& outcome) {
    if (!outcome.greeting.starts_with("220")) return "greeted without \"220\"";
    if (kind == Kind::SmtpStartTls && !AnswerTo(transcript, "STARTTLS")) return "no STARTTLS";
    const auto ehlo = AnswerTo(transcript, "EHLO");
    if (!ehlo || ehlo->empty()) return "no answer to EHLO";
    for (const std::string& line : *ehlo) {
        if (!line.starts_with("250")) return "EHLO refused";
        std::vector<std::string> words = Words(line.size() > 4 ? std::string_view(line).substr(4) : std::string_view());
        if (!words.empty() && EqualsNoCase(words.front(), "AUTH"))
            outcome.authentication.insert(outcome.authentication.end(), words.begin() + 1, words.end());
    }
    return {};
}

std::string ProblemOf(CURLcode code, const char* error) {
    std::string text = *error ? error : curl_easy_strerror(code);
    if (code == CURLE_PEER_FAILED_VERIFICATION) return "certificate not accepted: " + text;
    if (code == CURLE_OPERATION_TIMEDOUT) return "no answer in time";
    return text;
}

Outcome Finish(Probe& probe, Kind kind, CURLcode code) {
    Outcome outcome;
    outcome.finished = true;
    outcome.certificateExpiry = CertificateExpiry(probe.curl);
    for (const Line& line : probe.transcript)
        if (line.fromServer) {
            outcome.greeting = line.text;
            break;
        }
    if (code != CURLE_OK) {
        outcome.problem = ProblemOf(code, probe.error);
        return outcome;
    }
    outcome.problem = IsPop3(kind) ? CheckPop3(probe.transcript, outcome) : CheckSmtp(probe.transcript, kind, outcome);
    outcome.answered = outcome.problem.empty();
    if (!outcome.answered) outcome.authentication.clear();
    return outcome;
}

}  // namespace

CMailServerProbe::CMailServerProbe(std::vector<std::string> connectTo) : m_connectTo(std::move(connectTo)) {
    VeskHttpClient::GlobalInitialize();
}

std::string CMailServerProbe::Describe(const Target& target) {
    return std::string(SchemeOf(target.kind)) + "://" + target.host + ":" + std::to_string(target.port) +
           (target.kind == Kind::SmtpStartTls ? " (STARTTLS)" : "");
}

std::vector<CMailServerProbe::Outcome> CMailServerProbe::Run(const std::vector<Target>& targets, std::size_t parallel,
                                                             std::chrono::milliseconds perProbe,
                                                             Clock::time_point deadline, std::stop_token stop,
                                                             const Enough& enough) const {
    std::vector<Outcome> outcomes(targets.size());
    std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(), &curl_multi_cleanup);
    std::vector<std::unique_ptr<Probe>> active;
    std::size_t next = 0;
    bool done = !multi;
    while (!done) {
        while (active.size() < std::max<std::size_t>(parallel, 1) && next < targets.size()) {
            auto probe = std::make_unique<Probe>();
            probe->index = next++;
            probe->curl = curl_easy_init();
            if (!probe->curl) {
                outcomes[probe->index] = {true, false, "cannot make a connection handle", {}, {}, {}};
                continue;
            }
            Configure(*probe, targets[probe->index], m_connectTo, perProbe);
            curl_multi_add_handle(multi.get(), probe->curl);
            active.push_back(std::move(probe));
        }
        if (active.empty()) break;
        int running = 0;
        curl_multi_perform(multi.get(), &running);
        int pending = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &pending)) {
            if (message->msg != CURLMSG_DONE) continue;
            Probe* probe = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &probe);
            const CURLcode code = message->data.result;
            curl_multi_remove_handle(multi.get(), probe->curl);
            outcomes[probe->index] = Finish(*probe, targets[probe->index].kind, code);
            std::erase_if(active, [probe](const auto& p) { return p.get() == probe; });
            if (enough && enough(outcomes)) done = true;
        }
        if (done || stop.stop_requested() || Clock::now() >= deadline) break;
        curl_multi_poll(multi.get(), nullptr, 0, kPollSliceMs, nullptr);
    }
    for (const auto& probe : active) curl_multi_remove_handle(multi.get(), probe->curl);
    return outcomes;
}

}  // namespace mailwright
