#pragma once
#include <cstddef>
#include <memory>
#include <string>

#include "support/VeskReplacementFile.h"

namespace mailwright {

// Share modes of CreateFile; recorded for the callers' sake, the Unix file system has none.
inline constexpr unsigned FILE_SHARE_READ = 1;
inline constexpr unsigned FILE_SHARE_WRITE = 2;

// Writes one file whole, through a VeskReplacementFile with a name of its own: Close
// puts the new file in the target's place only when every write succeeded, so a reader
// sees the old file or the new one, never a torn one. A writer destroyed without a
// successful Close leaves the target untouched. Failures set the thread's last error.
class VeskFileWrite {
public:
    VeskFileWrite(const std::string& fileName, unsigned shareMode);
    // The same for a file named by its Unix path (the platform layer's own files).
    struct UnixPath {
        std::string path;
    };
    explicit VeskFileWrite(const UnixPath& file);
    VeskFileWrite(const VeskFileWrite&) = delete;
    VeskFileWrite& operator=(const VeskFileWrite&) = delete;
    virtual ~VeskFileWrite();

    bool IsOpen() const { return m_file != nullptr; }

    // Writes all bytes; false on a failed or short write, after which Close keeps the old file.
    bool Write(const void* data, std::size_t count);

    // Makes the written bytes the target's content; true when the file is in place.
    // Without a successful open, or after a failed write, nothing is replaced.
    bool Close();

private:
    void Open(const std::string& unixPath);
    bool Succeeded(DWORD code);

    std::unique_ptr<VeskReplacementFile> m_file;
};

}  // namespace mailwright
