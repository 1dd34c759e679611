#pragma once
#include <memory>
#include <optional>
#include <string>

namespace mailwright {

// The desktop services a link needs, standing in for the shell's "open" (ShellExecuteA),
// the ".htm" handler's command in the classes root, and WinExec. Results keep the
// Windows codes: above 32 is success for ShellOpen, above 31 for Exec.
class VeskLinkOpener {
public:
    virtual ~VeskLinkOpener() = default;

    // Hands the address to the desktop's URL opener. 31 when the desktop has none.
    virtual int ShellOpen(const std::string& address);

    // The command line of the desktop entry that handles text/html; nothing when the
    // desktop names no handler or its entry has no command.
    virtual std::optional<std::string> HtmlHandlerCommand();

    // Starts a command line (a desktop entry's quoting) without waiting for it.
    // 2 when its program cannot be found, 11 when it cannot be started.
    virtual int Exec(const std::string& commandLine);
};

// The Exec value of a desktop entry file, its escapes undone; nothing when the file
// cannot be read or has no command.
std::optional<std::string> ReadDesktopEntryExec(const std::string& path);

// The opener the links use; the desktop's unless replaced.
VeskLinkOpener& LinkOpener();

// Replaces the opener in use (tests) and returns the previous one.
std::shared_ptr<VeskLinkOpener> SetLinkOpener(std::shared_ptr<VeskLinkOpener> opener);

}  // namespace mailwright
