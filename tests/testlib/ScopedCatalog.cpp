#include "testlib/ScopedCatalog.h"

#include "support/VeskCatalog.h"

namespace mailwright::testing {

std::string BuildLocaleFolder() { return MW_BINARY_DIR "/locale"; }

ScopedCatalog::ScopedCatalog(const std::map<std::string, std::string>& locale, const std::string& folder) {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const auto it = locale.find(name);
        m_variables.push_back(std::make_unique<ScopedEnv>(name, it == locale.end() ? nullptr : it->second.c_str()));
    }
    VeskCatalog::Activate(folder);
}

ScopedCatalog::~ScopedCatalog() {
    VeskCatalog::Deactivate();
    m_variables.clear();
}

std::map<std::string, std::string> ScopedCatalog::Language(const std::string& language) {
    return {{"LANGUAGE", language}, {"LC_ALL", "C.UTF-8"}};
}

}  // namespace mailwright::testing
