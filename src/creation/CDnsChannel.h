#pragma once
#include <chrono>
#include <deque>
#include <stop_token>
#include <string>

typedef struct ares_channeldata* ares_channel;

namespace mailwright {

// Queries to one DNS server (or the system's resolvers) through c-ares, sent together
// and waited for together, so that several names cost one round trip.
class CDnsChannel {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int kTypeA = 1;
    static constexpr int kTypeMx = 15;
    static constexpr int kTypeAaaa = 28;
    static constexpr int kTypeSrv = 33;

    struct Answer {
        bool done = false;
        int status = 0;      // c-ares' status; ARES_SUCCESS with the reply in `bytes`
        std::string bytes;   // the whole reply message
    };

    enum class Outcome { Answered, TimedOut, Cancelled };

    // `server`: empty for the resolvers of /etc/resolv.conf, else CMxLookup::ServerOf's form.
    explicit CDnsChannel(const std::string& server);
    ~CDnsChannel();
    CDnsChannel(const CDnsChannel&) = delete;
    CDnsChannel& operator=(const CDnsChannel&) = delete;

    // Why the channel cannot ask anything; empty when it can.
    const std::string& GetProblem() const { return m_problem; }

    // Sends a query (class IN); its answer fills the returned object, which lives as
    // long as the channel.
    const Answer& Ask(const std::string& name, int type);

    // Waits until every query is answered, the deadline passes or a stop is requested.
    Outcome WaitForAnswers(Clock::time_point deadline, std::stop_token stop);

    // Why a query failed, in a few words; `notFound` is set when the name or its
    // records do not exist (as against a failure to learn it).
    static std::string DescribeFailure(int status, bool& notFound);

private:
    bool AllAnswered() const;
    void ProcessOnce(int ms);

    ares_channel m_channel = nullptr;
    std::string m_problem;
    std::deque<Answer> m_answers;  // a deque: the callbacks hold pointers into it
};

}  // namespace mailwright
