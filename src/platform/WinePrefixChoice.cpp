#include "platform/WinePrefixChoice.h"

#include <sys/stat.h>

#include <cstdlib>

#include "platform/RememberedPrefixes.h"

namespace mailwright {
namespace {

bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

WinePrefixChoice::WinePrefixChoice(WinePrefixFinder::Homes homes) : m_homes(std::move(homes)) {}

WinePrefixChoice WinePrefixChoice::FromEnvironment() { return WinePrefixChoice(WinePrefixFinder::HomesFromEnvironment()); }

std::optional<std::string> WinePrefixChoice::PrefixFromEnvironment(bool& named) {
    const char* variable = std::getenv("WINEPREFIX");
    named = variable && *variable;
    if (!named) return std::nullopt;
    std::string prefix = variable;
    while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
    if (prefix[0] == '/' && IsFolder(prefix)) return prefix;
    return std::nullopt;
}

std::vector<FoundPrefix> WinePrefixChoice::FindAll() const {
    return WinePrefixFinder(m_homes).Find(RememberedPrefixes(m_homes.configHome).Load());
}

std::optional<std::string> WinePrefixChoice::Resolve(const std::vector<FoundPrefix>& found) const {
    const std::vector<std::string> remembered = RememberedPrefixes(m_homes.configHome).Load();
    if (!remembered.empty() && WinePrefixFinder::IsPrefix(remembered.front())) return remembered.front();
    if (found.size() == 1) return found.front().folder;
    return std::nullopt;
}

std::optional<std::string> WinePrefixChoice::ResolveLikeWine(const std::vector<FoundPrefix>& found) const {
    if (std::optional<std::string> chosen = Resolve(found)) return chosen;
    if (m_homes.home.empty()) return std::nullopt;
    const std::string wine = m_homes.home + (m_homes.home.back() == '/' ? ".wine" : "/.wine");
    if (WinePrefixFinder::IsPrefix(wine)) return wine;
    return std::nullopt;
}

bool WinePrefixChoice::Remember(const std::string& folder) const {
    return RememberedPrefixes(m_homes.configHome).Remember(folder);
}

}  // namespace mailwright
