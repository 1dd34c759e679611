#pragma once
#include <string>
#include <string_view>

#include "support/WinTypes.h"

namespace mailwright {

// The new text of a hive file on its way in: written to "<hive>.mailwright-tmp" beside
// the hive, synced, then renamed over it. The name says whose file it is; the prefix's
// lock, which the caller holds, makes it the only one, so one left behind by a writer
// that was killed is stale and the next writer removes it. Without a successful Replace
// the hive stays as it was and the temporary file goes.
class HiveTempFile {
public:
    explicit HiveTempFile(std::string hivePath);
    ~HiveTempFile();
    HiveTempFile(const HiveTempFile&) = delete;
    HiveTempFile& operator=(const HiveTempFile&) = delete;

    static std::string PathFor(const std::string& hivePath) { return hivePath + ".mailwright-tmp"; }
    // Removes a temporary file left behind for the hive.
    static void RemoveStale(const std::string& hivePath);

    // Each returns a Windows error code. The new file takes the hive's mode.
    LONG Open();
    LONG Write(std::string_view text);
    // Makes the bytes durable and closes the file.
    LONG Finish();
    // Puts the file in the hive's place, durably.
    LONG Replace();

private:
    void Discard();

    std::string m_hive;
    std::string m_temporary;
    int m_fd = -1;
    bool m_placed = false;
};

}  // namespace mailwright
