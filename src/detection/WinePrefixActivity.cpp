#include "detection/WinePrefixActivity.h"

#include <thread>

#include "detection/CProcessesEnum.h"
#include "registry/WineServer.h"
#include "support/IUserInterface.h"
#include "support/StringTable.h"
#include "support/VeskException.h"
#include "support/WinTypes.h"
#include "support/WindowsSession.h"

namespace mailwright {
namespace {

// Wine's server stays three seconds after its last program by default.
std::chrono::milliseconds g_lingerLimit{5000};
constexpr std::chrono::milliseconds kPollInterval{100};

std::string JoinNames(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

// The text with its %s replaced by the names.
std::string WithNames(std::string text, const std::vector<std::string>& names) {
    if (const size_t mark = text.find("%s"); mark != std::string::npos) text.replace(mark, 2, JoinNames(names));
    return text;
}

}  // namespace

WinePrefixActivity::WinePrefixActivity(std::string prefixFolder) : m_prefix(std::move(prefixFolder)) {}

void WinePrefixActivity::SetLingerLimit(std::chrono::milliseconds limit) { g_lingerLimit = limit; }

std::vector<std::string> WinePrefixActivity::RunningPrograms() const {
    CProcessesEnum processes;
    try {
        processes.Enumerate();
    } catch (const Error::VeskException&) {
        return {};  // no process list: the server's lock alone tells that Wine runs
    }
    return processes.ProgramsOfPrefix(m_prefix);
}

WinePrefixActivity::State WinePrefixActivity::WaitUntilIdle(std::chrono::milliseconds limit,
                                                            std::vector<std::string>& programs) const {
    programs.clear();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (IsWineServerRunning(m_prefix)) {
        programs = RunningPrograms();
        if (!programs.empty()) return State::ProgramsRunning;
        if (std::chrono::steady_clock::now() >= deadline) return State::ServerStaysUp;
        std::this_thread::sleep_for(kPollInterval);
    }
    return State::Idle;
}

bool WinePrefixActivity::EnsureIdle() {
    const std::string prefix = WindowsSession::Current()->PrefixFolder();
    if (prefix.empty()) return true;
    const WinePrefixActivity activity(prefix);
    for (;;) {
        std::vector<std::string> programs;
        const State state = activity.WaitUntilIdle(g_lingerLimit, programs);
        if (state == State::Idle) return true;
        const std::string text = state == State::ProgramsRunning
                                     ? WithNames(LoadString(IDS_WINE_PROGRAMS_RUNNING), programs)
                                     : LoadString(IDS_WINE_SERVER_STAYS);
        if (AppMessageBox(text, MB_RETRYCANCEL | MB_ICONWARNING) != IDRETRY) return false;
    }
}

}  // namespace mailwright
