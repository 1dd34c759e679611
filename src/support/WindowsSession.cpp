#include "support/WindowsSession.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "support/TextUtil.h"

namespace mailwright {
namespace {

std::mutex g_sessionMutex;
std::shared_ptr<WindowsSession> g_session;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::vector<std::string> SplitComponents(const std::string& text, size_t from) {
    std::vector<std::string> parts;
    std::string current;
    for (size_t i = from; i < text.size(); ++i) {
        if (IsSeparator(text[i])) {
            if (!current.empty()) parts.push_back(std::move(current));
            current.clear();
        } else {
            current += text[i];
        }
    }
    if (!current.empty()) parts.push_back(std::move(current));
    return parts;
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The entry of `folder` whose name equals `name` without regard to case; `name` itself
// when there is none (so that a file about to be created keeps the name it was given).
std::string MatchComponent(const std::string& folder, const std::string& name) {
    const std::string candidate = folder == "/" ? "/" + name : folder + "/" + name;
    if (Exists(candidate)) return name;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return name;
    std::string found = name;
    while (dirent* entry = ::readdir(dir)) {
        if (EqualsNoCaseUnicode(entry->d_name, name)) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

std::string JoinUnix(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

}  // namespace

std::optional<std::string> WindowsSession::DriveRoot(char letter) const {
    if (letter == 'z' || letter == 'Z') return std::string("/");
    return std::nullopt;
}

std::string WindowsSession::GetAppDataFolder() const {
    std::string folder;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') {
        folder = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') return {};
        folder = JoinUnix(home, ".local/share");
    }
    std::string made;
    for (const std::string& part : SplitComponents(folder, 0)) {
        made += "/" + part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) return {};
    }
    return ToWindowsPath(folder).value_or(std::string());
}

std::optional<std::string> WindowsSession::ToUnixPath(const std::string& windowsPath) const {
    if (windowsPath.size() >= 2 && IsSeparator(windowsPath[0]) && IsSeparator(windowsPath[1]))
        return std::nullopt;  // UNC paths name no drive
    std::string root;
    size_t rest = 0;
    bool absolute = false;
    if (windowsPath.size() >= 2 && windowsPath[1] == ':' && std::isalpha(static_cast<unsigned char>(windowsPath[0]))) {
        std::optional<std::string> drive = DriveRoot(windowsPath[0]);
        if (!drive) return std::nullopt;
        root = *drive;
        rest = 2;
        absolute = true;
    } else if (!windowsPath.empty() && IsSeparator(windowsPath[0])) {
        // Rooted on the current drive, which is Z: for a program started from Unix.
        std::optional<std::string> drive = DriveRoot('z');
        if (!drive) return std::nullopt;
        root = *drive;
        absolute = true;
    }
    std::vector<std::string> resolved;
    for (std::string& part : SplitComponents(windowsPath, rest)) {
        if (part == ".") continue;
        if (part == "..") {
            // Each ".." removes one component; above the start of a relative path they pile up.
            if (!resolved.empty() && resolved.back() != "..") resolved.pop_back();
            else if (!absolute) resolved.push_back(part);
            continue;
        }
        resolved.push_back(std::move(part));
    }
    std::string path = root;
    bool matching = true;
    for (const std::string& part : resolved) {
        const std::string name = matching && part != ".." ? MatchComponent(path, part) : part;
        path = JoinUnix(path, name);
        if (matching && !Exists(path)) matching = false;
    }
    if (path.empty()) path = absolute ? root : ".";
    return path;
}

std::optional<std::string> WindowsSession::ToWindowsPath(const std::string& unixPath) const {
    if (unixPath.empty() || unixPath[0] != '/') return std::nullopt;
    std::optional<std::string> best;
    size_t bestLength = 0;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        std::optional<std::string> root = DriveRoot(letter);
        if (!root || root->empty()) continue;
        std::string prefix = *root;
        while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
        const bool holds = prefix == "/" ||
                           unixPath == prefix ||
                           (unixPath.compare(0, prefix.size(), prefix) == 0 && unixPath[prefix.size()] == '/');
        if (!holds || (best && prefix.size() <= bestLength)) continue;
        std::string tail = prefix == "/" ? unixPath.substr(1) : unixPath.substr(prefix.size());
        while (!tail.empty() && tail[0] == '/') tail.erase(0, 1);
        for (char& c : tail)
            if (c == '/') c = '\\';
        std::string windows;
        windows += static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
        windows += ":\\";
        windows += tail;
        while (windows.size() > 3 && windows.back() == '\\') windows.pop_back();
        best = windows;
        bestLength = prefix.size();
    }
    return best;
}

std::shared_ptr<RegistryStore> WindowsSession::Registry() const { return nullptr; }

bool WindowsSession::GetVersionEx(OsVersionInfo&) const { return false; }

std::optional<std::string> WindowsSession::EnvironmentVariable(const std::string&) const { return std::nullopt; }

std::string WindowsSession::ExpandEnvironmentStrings(const std::string& text) const {
    return ExpandVariables(text, [this](const std::string& name) { return EnvironmentVariable(name); });
}

std::string WindowsSession::ExpandVariables(const std::string& text, const VariableLookup& lookup) {
    std::string result;
    size_t at = 0;
    while (at < text.size()) {
        const size_t open = text.find('%', at);
        const size_t close = open == std::string::npos ? std::string::npos : text.find('%', open + 1);
        if (close == std::string::npos) {
            result.append(text, at, std::string::npos);
            break;
        }
        result.append(text, at, open - at);
        std::optional<std::string> value = lookup(text.substr(open + 1, close - open - 1));
        if (value) {
            result += *value;
            at = close + 1;
        } else {
            // The closing % may open the next variable.
            result.append(text, open, close - open);
            at = close;
        }
    }
    return result;
}

std::string WindowsSession::PrefixFolder() const { return {}; }

std::string WindowsSession::Architecture() const { return {}; }

bool WindowsSession::IsWineRunning() const { return false; }

bool WindowsSession::IsPrefixFolder(const std::string&) const { return false; }

std::shared_ptr<WindowsSession> WindowsSession::Current() {
    std::lock_guard<std::mutex> lock(g_sessionMutex);
    if (!g_session) g_session = std::make_shared<WindowsSession>();
    return g_session;
}

std::shared_ptr<WindowsSession> WindowsSession::SetCurrent(std::shared_ptr<WindowsSession> session) {
    std::lock_guard<std::mutex> lock(g_sessionMutex);
    std::shared_ptr<WindowsSession> previous = std::move(g_session);
    g_session = std::move(session);
    return previous;
}

}  // namespace mailwright
