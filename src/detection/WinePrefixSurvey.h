#pragma once
#include <string>
#include <vector>

#include "platform/WinePrefixFinder.h"

namespace mailwright {

// A prefix as the chooser and `mailwright-cli prefixes` show it.
struct PrefixSummary {
    FoundPrefix prefix;
    std::string windows;  // "Windows 7"; text 272 when the version cannot be read
    std::string clients;  // "Outlook 2010, Windows Live Mail"; text 273 for none
    bool wineRunning = false;
};

// Looks into each prefix with the mail client checker, silently: the checker's own
// message is for the prefix the user works in. Leaves the checker without answers, so
// that the next GetInstance detects in the session then current.
class WinePrefixSurvey {
public:
    static PrefixSummary Describe(const FoundPrefix& prefix);
    static std::vector<PrefixSummary> DescribeAll(const std::vector<FoundPrefix>& prefixes);

    // The name of a Windows version as the prefix reports it ("Windows XP").
    static std::string WindowsName(unsigned major, unsigned minor);
};

}  // namespace mailwright
