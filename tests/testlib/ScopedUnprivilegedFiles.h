#pragma once
#include <string>
#include <sys/types.h>

namespace mailwright::testing {

// File access without root's right to write anywhere, for the calling thread and the
// threads it starts while the object lives, so that a read-only folder is read-only to a
// test run as root too (as CI runs). As root the file system user and group become
// nobody's; for any other user nothing changes.
class ScopedUnprivilegedFiles {
public:
    ScopedUnprivilegedFiles();
    ~ScopedUnprivilegedFiles();
    ScopedUnprivilegedFiles(const ScopedUnprivilegedFiles&) = delete;
    ScopedUnprivilegedFiles& operator=(const ScopedUnprivilegedFiles&) = delete;

    // Gives the folder and everything in it to the user the files are accessed as, so that
    // its modes mean for that user what they mean for the user who made them. Call it
    // before the object exists.
    static void GiveAway(const std::string& folder);

private:
    bool m_dropped = false;
};

}  // namespace mailwright::testing
