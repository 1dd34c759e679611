#pragma once
#include <chrono>
#include <string>

#include "support/WinTypes.h"

namespace mailwright {

// The lock that keeps the program's writers of one Wine prefix apart: an exclusive flock
// on the prefix folder, held from a transaction's start to its end and released when its
// descriptor closes, also when the process dies. A writer waits for another one only for a
// bounded time: no writer holds the lock while a dialog waits for the user, so a lock held
// for long belongs to a writer that is stuck, and waiting on would hang this one too.
class PrefixLock {
public:
    static constexpr std::chrono::milliseconds kDefaultPatience = std::chrono::seconds(30);

    PrefixLock() = default;
    ~PrefixLock();
    PrefixLock(const PrefixLock&) = delete;
    PrefixLock& operator=(const PrefixLock&) = delete;

    // Takes the lock of the folder; ERROR_MW_PREFIX_BUSY when another writer keeps it
    // longer than the patience allows, another code when the folder cannot be opened.
    LONG Take(const std::string& folder);
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

    // How long a writer waits for the lock; tests shorten it. Returns the previous value.
    static std::chrono::milliseconds SetPatience(std::chrono::milliseconds patience);

private:
    int m_fd = -1;
};

}  // namespace mailwright
