#pragma once
// The file layer: Windows paths above, the Unix file system below. Every path
// argument is a Windows path of the current session (WindowsSession); failures
// are reported as false or nothing, with the thread's last error set.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mailwright {

// The name of the first entry that the path matches; its last component may hold
// the wildcards * and ?, compared without regard to case (a folder's "." and ".."
// count, as on Windows). Nothing when nothing matches.
std::optional<std::string> FindFirstEntry(const std::string& pathPattern);

// Creates one folder; false when it cannot be created (also when it exists).
bool CreateFolder(const std::string& path);

// Reads a whole file; false when it cannot be opened or read, or is larger than 4 GiB.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);

// The Unix path behind a Windows path of the current session.
std::optional<std::string> UnixPathOf(const std::string& windowsPath);

}  // namespace mailwright
