#pragma once
#include <memory>
#include <string>

#include "testlib/TempFolder.h"

namespace mailwright {
class WinePrefixSession;
class WindowsSession;
}

namespace mailwright::testing {

enum class WindowsRelease { WinXP, Vista, Win7, Win10 };

// A temporary Wine prefix as wineboot leaves one, cut down to what the program reads:
// dosdevices/c: -> ../drive_c and z: -> /, drive_c, and user.reg and system.reg with
// the release's version keys (Wine's own values), the user shell folders, the
// Session Manager environment behind the CurrentControlSet link, HKCU\Environment and,
// for a 64-bit prefix, Wow6432Node with its Classes link.
class TempWinePrefix {
public:
    explicit TempWinePrefix(WindowsRelease release = WindowsRelease::Win7, bool win64 = true);

    const std::string& Path() const { return m_folder.Path(); }
    const TempFolder& Folder() const { return m_folder; }
    // The Unix path of a path below drive_c ("users/x" -> <prefix>/drive_c/users/x).
    std::string DriveC(const std::string& relative = "") const;

    // Replaces a hive: Wine's header for the branch and architecture, then `keys`, the
    // key blocks as they appear in the file ("\n[Software\\\\X] 0\n\"v\"=\"1\"\n").
    void WriteUserHive(const std::string& keys) const;
    void WriteSystemHive(const std::string& keys) const;

    // The key blocks that the constructor wrote.
    static std::string UserKeys();
    static std::string SystemKeys(WindowsRelease release, bool win64);

private:
    TempFolder m_folder;
    bool m_win64;
};

// Makes a session of the prefix current for the life of the object, with USER set to
// `user` (the profile folder's name); the previous session and USER come back after.
class ScopedPrefixSession {
public:
    explicit ScopedPrefixSession(const TempWinePrefix& prefix, const std::string& user = "tester");
    ~ScopedPrefixSession();
    ScopedPrefixSession(const ScopedPrefixSession&) = delete;
    ScopedPrefixSession& operator=(const ScopedPrefixSession&) = delete;

    WinePrefixSession& Session() { return *m_session; }

private:
    std::shared_ptr<WinePrefixSession> m_session;
    std::shared_ptr<WindowsSession> m_previous;
    std::string m_oldUser;
    bool m_hadUser = false;
};

}  // namespace mailwright::testing
