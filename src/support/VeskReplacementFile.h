#pragma once
#include <cstddef>
#include <string>

#include "support/WinTypes.h"

namespace mailwright {

// The new content of a file on its way in, the one way the program replaces a file: the
// bytes go to a temporary file beside it, are made durable, and the temporary file is
// renamed over it, so that a reader, or a crash at any moment, finds the old file or the
// new one, never a torn one. A file reached through symbolic links is replaced where the
// links end, and the links stay. A file that is not a regular file is refused. The new
// file takes the old one's mode. Dropped before Replace, the replacement leaves the file
// as it was and removes its temporary file. Every step returns a Windows error code.
class VeskReplacementFile {
public:
    struct Rules {
        // Empty: a name of its own for each writer, "<file>.XXXXXX", for files that any
        // number of writers may replace at once. Otherwise "<file><suffix>": a name that
        // the caller's lock makes its own, so that one found on opening is stale.
        std::string fixedSuffix;
        // A rename would part the file from its other hard links, which would keep the old
        // content; such a file is refused rather than edited in place.
        bool refuseHardLinks = false;
    };

    VeskReplacementFile(std::string path, Rules rules);
    ~VeskReplacementFile();
    VeskReplacementFile(const VeskReplacementFile&) = delete;
    VeskReplacementFile& operator=(const VeskReplacementFile&) = delete;

    DWORD Open();
    // Writes all bytes. After a failure every later step fails and nothing is replaced.
    DWORD Write(const void* data, std::size_t count);
    // Makes the bytes durable and closes the temporary file.
    DWORD Finish();
    // Puts the temporary file in the file's place, durably.
    DWORD Replace();

    // The file that `path` names once its symbolic links are followed (it need not exist).
    static DWORD ResolveLinks(const std::string& path, std::string& target);
    // Removes the temporary file of the fixed name that a killed writer left for `path`.
    static void RemoveStale(const std::string& path, const std::string& fixedSuffix);

private:
    DWORD CheckTarget(bool& exists, unsigned& mode) const;
    DWORD CreateTemporary();
    DWORD KeepMode(unsigned mode) const;
    void Discard();

    std::string m_path;
    Rules m_rules;
    std::string m_target;
    std::string m_temporary;
    int m_fd = -1;
    DWORD m_failure = ERROR_SUCCESS;
    bool m_finished = false;
    bool m_placed = false;
};

}  // namespace mailwright
