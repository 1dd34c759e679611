#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/WinePrefixFinder.h"

namespace mailwright {

// Which prefix the programs work on when nobody names one: the one chosen last time if
// it is still a prefix, else the only prefix found. With several and none chosen before,
// the dialog program asks; the command-line program takes ~/.wine, as Wine does.
class WinePrefixChoice {
public:
    explicit WinePrefixChoice(WinePrefixFinder::Homes homes);
    static WinePrefixChoice FromEnvironment();

    // The folder named by $WINEPREFIX (an absolute path to a folder; Wine refuses
    // others); nothing when the variable is unset or empty. `named` tells whether it was set.
    static std::optional<std::string> PrefixFromEnvironment(bool& named);

    // The prefixes found, the remembered folders among them.
    std::vector<FoundPrefix> FindAll() const;
    // The prefix taken without asking; nothing when none is found or several are and
    // none was chosen before.
    std::optional<std::string> Resolve(const std::vector<FoundPrefix>& found) const;
    // Resolve, else ~/.wine when it is a prefix.
    std::optional<std::string> ResolveLikeWine(const std::vector<FoundPrefix>& found) const;

    // Makes the folder the one chosen last time; false when that cannot be kept.
    bool Remember(const std::string& folder) const;

private:
    WinePrefixFinder::Homes m_homes;
};

}  // namespace mailwright
