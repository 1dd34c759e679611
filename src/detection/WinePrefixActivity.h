#pragma once
#include <chrono>
#include <string>
#include <vector>

namespace mailwright {

// What Wine does in a prefix: whether its wineserver runs and which Windows programs of
// the prefix run. A server that runs no program only lingers: it ends within seconds and
// writes the registry back as it goes, so it is waited for, never written under.
class WinePrefixActivity {
public:
    enum class State {
        Idle,             // no server: the hives are the prefix's registry
        ProgramsRunning,  // programs run: the registry is theirs until they end
        ServerStaysUp,    // the server outlived the wait without a program
    };

    explicit WinePrefixActivity(std::string prefixFolder);

    // Waits up to `limit` for a server without programs to end; the programs that
    // keep it running are left in `programs`.
    State WaitUntilIdle(std::chrono::milliseconds limit, std::vector<std::string>& programs) const;

    // For the current session, before an action reads the registry: waits for a
    // lingering server, and while Wine runs the prefix tells the user why nothing can be
    // written, offering to try again. False when the user gives up.
    static bool EnsureIdle();

    // The wait for a lingering server (tests shorten it).
    static void SetLingerLimit(std::chrono::milliseconds limit);

private:
    std::vector<std::string> RunningPrograms() const;

    std::string m_prefix;
};

}  // namespace mailwright
