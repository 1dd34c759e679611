#include "platform/WinePrefixFinder.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "platform/YamlScalarLookup.h"

namespace mailwright {
namespace {

// Enough for any real launcher folder; a folder with more entries is not one of ours.
constexpr size_t kMaxEntries = 256;
constexpr off_t kMaxYamlBytes = 1 << 20;

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return {};
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The names in a folder that may be folders themselves, sorted; at most kMaxEntries.
std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    if (folder.empty()) return names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (entry->d_type != DT_DIR && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN &&
            entry->d_type != DT_REG)
            continue;
        names.push_back(name);
        if (names.size() == kMaxEntries) break;
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A small regular file's bytes; nothing for anything else (a FIFO is never waited on).
std::optional<std::string> ReadSmallFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st;
    std::optional<std::string> content;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxYamlBytes) {
        std::string bytes;
        char buffer[8192];
        ssize_t n = 0;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0) bytes.append(buffer, static_cast<size_t>(n));
        if (n == 0) content = std::move(bytes);
    }
    ::close(fd);
    return content;
}

std::string BaseName(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder.substr(folder.find_last_of('/') + 1);
}

// "my-game-1712345678.yml" is the game "my-game".
std::string GameSlug(const std::string& fileName) {
    std::string slug = fileName.substr(0, fileName.size() - 4);
    const size_t dash = slug.find_last_of('-');
    if (dash != std::string::npos && dash + 1 < slug.size() &&
        slug.find_first_not_of("0123456789", dash + 1) == std::string::npos)
        slug.resize(dash);
    return slug;
}

std::string EnvironmentFolder(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : fallback;
}

// Adds the prefix unless the folder is no prefix or was found already.
class FoundList {
public:
    explicit FoundList(std::vector<FoundPrefix>& found) : m_found(found) {}
    void Add(std::string name, const std::string& folder, const char* launcher) {
        if (folder.empty() || !WinePrefixFinder::IsPrefix(folder)) return;
        struct stat st;
        if (::stat(folder.c_str(), &st) != 0 || !m_seen.insert({st.st_dev, st.st_ino}).second) return;
        m_found.push_back({std::move(name), folder, launcher});
    }

private:
    std::vector<FoundPrefix>& m_found;
    std::set<std::pair<dev_t, ino_t>> m_seen;
};

void AddLauncherFolders(const WinePrefixFinder::Homes& homes, FoundList& list) {
    struct Place {
        std::string folder;
        const char* launcher;
        bool bottles;  // each prefix's bottle.yml holds its name
    };
    const Place places[] = {
        {Join(homes.dataHome, "wineprefixes"), "winetricks", false},
        {Join(homes.dataHome, "bottles/bottles"), "Bottles", true},
        {Join(homes.home, ".var/app/com.usebottles.bottles/data/bottles/bottles"), "Bottles (Flatpak)", true},
        {Join(homes.home, ".PlayOnLinux/wineprefix"), "PlayOnLinux", false},
        {Join(homes.home, ".cxoffice"), "CrossOver", false},
    };
    for (const Place& place : places) {
        for (const std::string& entry : ListFolder(place.folder)) {
            const std::string folder = Join(place.folder, entry);
            std::string name = entry;
            if (place.bottles)
                if (std::optional<std::string> yaml = ReadSmallFile(Join(folder, "bottle.yml")))
                    name = YamlScalarLookup::Find(*yaml, {"Name"}).value_or(entry);
            list.Add(name, folder, place.launcher);
        }
    }
}

// Lutris keeps one YAML file per game; its game.prefix names the game's prefix.
void AddLutrisGames(const WinePrefixFinder::Homes& homes, FoundList& list) {
    for (const std::string& games : {Join(homes.configHome, "lutris/games"), Join(homes.dataHome, "lutris/games")}) {
        for (const std::string& file : ListFolder(games)) {
            if (file.size() <= 4 || file.compare(file.size() - 4, 4, ".yml") != 0) continue;
            const std::optional<std::string> yaml = ReadSmallFile(Join(games, file));
            if (!yaml) continue;
            std::string prefix = YamlScalarLookup::Find(*yaml, {"game", "prefix"}).value_or("");
            if (prefix.rfind("~/", 0) == 0) prefix = Join(homes.home, prefix.substr(2));
            if (prefix.empty() || prefix[0] != '/') continue;
            list.Add(GameSlug(file), prefix, "Lutris");
        }
    }
}

}  // namespace

WinePrefixFinder::WinePrefixFinder(Homes homes) : m_homes(std::move(homes)) {}

WinePrefixFinder::Homes WinePrefixFinder::HomesFromEnvironment() {
    std::string home = EnvironmentFolder("HOME", "");
    if (home.empty())
        if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') home = pw->pw_dir;
    if (home.empty()) return {};
    return {home, EnvironmentFolder("XDG_CONFIG_HOME", Join(home, ".config")),
            EnvironmentFolder("XDG_DATA_HOME", Join(home, ".local/share"))};
}

bool WinePrefixFinder::IsPrefix(const std::string& folder) {
    return IsRegularFile(Join(folder, "system.reg")) && IsRegularFile(Join(folder, "user.reg"));
}

std::vector<FoundPrefix> WinePrefixFinder::Find(const std::vector<std::string>& chosenBefore) const {
    std::vector<FoundPrefix> found;
    FoundList list(found);
    list.Add("Wine (default)", Join(m_homes.home, ".wine"), "Wine");
    AddLauncherFolders(m_homes, list);
    AddLutrisGames(m_homes, list);
    for (const std::string& folder : chosenBefore) list.Add(BaseName(folder), folder, "chosen before");
    return found;
}

}  // namespace mailwright
