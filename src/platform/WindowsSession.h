#pragma once
#include <memory>
#include <optional>
#include <string>

namespace mailwright {

// What the program sees as "Windows": the drives of the file system and the
// user's Application Data folder. This base is the session without a Wine
// prefix: only drive Z: exists, mapped to "/", and the Application Data folder
// is $XDG_DATA_HOME (default ~/.local/share).
class WindowsSession {
public:
    WindowsSession() = default;
    WindowsSession(const WindowsSession&) = delete;
    WindowsSession& operator=(const WindowsSession&) = delete;
    virtual ~WindowsSession() = default;

    // The Unix folder behind a drive letter (either case); nothing when the drive does not exist.
    virtual std::optional<std::string> DriveRoot(char letter) const;

    // The user's Application Data folder as a Windows path, created when missing; empty on failure.
    virtual std::string GetAppDataFolder() const;

    // The Unix path of a Windows path, as Wine finds it: the drive through DriveRoot, each
    // existing component matched without regard to case, "." and ".." resolved. Relative
    // paths stay relative (to the current directory). Nothing for a missing drive or a
    // UNC path.
    std::optional<std::string> ToUnixPath(const std::string& windowsPath) const;

    // The Windows path under which a Unix path is seen: the drive whose root holds it
    // (the longest root wins). Nothing when no drive holds it.
    std::optional<std::string> ToWindowsPath(const std::string& unixPath) const;

    // The session the program works in; a session without a prefix until one is set.
    static WindowsSession& Current();
    // Replaces the current session and returns the previous one (tests and start-up).
    static std::shared_ptr<WindowsSession> SetCurrent(std::shared_ptr<WindowsSession> session);
};

}  // namespace mailwright
