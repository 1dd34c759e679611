#pragma once
#include <string>
#include <vector>

namespace mailwright {

// A Wine prefix found where a launcher keeps its prefixes.
struct FoundPrefix {
    std::string name;      // what the launcher calls it (a bottle's name, a game's slug...)
    std::string folder;    // the prefix folder, as found
    std::string launcher;  // "Wine", "winetricks", "Bottles"...
};

// Finds the prefixes a user has: ~/.wine and the folders where winetricks, Bottles
// (also as a Flatpak), PlayOnLinux, CrossOver and Lutris keep theirs, plus folders the
// user chose before. A folder counts when it holds system.reg and user.reg. Nothing is
// searched recursively and every listing is bounded, so that a big, unreadable or slow
// folder costs little; a missing folder costs one failed open.
class WinePrefixFinder {
public:
    struct Homes {
        std::string home;        // $HOME
        std::string configHome;  // $XDG_CONFIG_HOME, default ~/.config
        std::string dataHome;    // $XDG_DATA_HOME, default ~/.local/share
    };
    explicit WinePrefixFinder(Homes homes);
    // The folders of the user running the program; empty ones without a home folder.
    static Homes HomesFromEnvironment();

    // Every prefix found, each folder once (the first place that names it wins), in the
    // order: ~/.wine, winetricks, Bottles, PlayOnLinux, CrossOver, Lutris, chosen before.
    std::vector<FoundPrefix> Find(const std::vector<std::string>& chosenBefore) const;

    // The folder holds a Wine registry: system.reg and user.reg are regular files.
    static bool IsPrefix(const std::string& folder);

private:
    Homes m_homes;
};

}  // namespace mailwright
