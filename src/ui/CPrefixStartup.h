#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "detection/WinePrefixSurvey.h"

namespace mailwright {

class WindowsSession;
class WinePrefixChoice;

// The session the dialog program works on. $WINEPREFIX wins; else the prefix chosen last
// time while it is still one, else the only prefix found; else the user chooses (the
// choice is remembered for the next start).
class CPrefixStartup {
public:
    // Shows the prefixes and returns the folder chosen; nothing when the user cancels.
    using Asker = std::function<std::optional<std::string>(const std::vector<PrefixSummary>& prefixes)>;

    // The session; null when the user cancelled the choice, which ends the program.
    static std::shared_ptr<WindowsSession> ChooseSession(const WinePrefixChoice& choice, const Asker& ask = AskWithChooser);

    // The chooser dialog, run modal.
    static std::optional<std::string> AskWithChooser(const std::vector<PrefixSummary>& prefixes);
};

}  // namespace mailwright
