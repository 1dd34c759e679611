#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "testlib/ScopedEnv.h"

namespace mailwright::testing {

// The catalogues that the build compiles from po/ (locale/ of the build tree).
std::string BuildLocaleFolder();

// The program's texts as a user with these locale variables sees them (LANGUAGE,
// LC_ALL, LC_MESSAGES, LANG; those not named are unset), from the catalogues of `folder`.
// English again at the end, with the variables as they were.
class ScopedCatalog {
public:
    explicit ScopedCatalog(const std::map<std::string, std::string>& locale,
                           const std::string& folder = BuildLocaleFolder());
    ~ScopedCatalog();
    ScopedCatalog(const ScopedCatalog&) = delete;
    ScopedCatalog& operator=(const ScopedCatalog&) = delete;

    // The language chosen the way a user chooses it without installing its locale:
    // LANGUAGE with the C.UTF-8 locale.
    static std::map<std::string, std::string> Language(const std::string& language);

private:
    std::vector<std::unique_ptr<ScopedEnv>> m_variables;
};

}  // namespace mailwright::testing
