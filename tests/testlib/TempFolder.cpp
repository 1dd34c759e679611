#include "testlib/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/WindowsSession.h"

namespace fs = std::filesystem;

namespace mailwright::testing {

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "mailwright-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    m_path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    // Folders made read-only by a test must become writable again to be removed.
    for (auto it = fs::recursive_directory_iterator(m_path, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(m_path, ec);
}

void TempFolder::WriteFile(const std::string& relative, const std::string& content) const {
    WriteFileAt((fs::path(m_path) / relative).string(), content);
}

void TempFolder::WriteFileAt(const std::string& file, const std::string& content) {
    const fs::path path(file);
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::string TempFolder::ReadFile(const std::string& relative) const {
    std::ifstream in(fs::path(m_path) / relative, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool TempFolder::Exists(const std::string& relative) const { return fs::exists(fs::path(m_path) / relative); }

std::string ZPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

ScopedPrefixlessSession::ScopedPrefixlessSession() {
    if (const char* old = std::getenv("XDG_DATA_HOME")) {
        m_hadXdg = true;
        m_oldXdg = old;
    }
    ::setenv("XDG_DATA_HOME", m_data.Path().c_str(), 1);
    m_previous = WindowsSession::SetCurrent(std::make_shared<WindowsSession>());
}

ScopedPrefixlessSession::~ScopedPrefixlessSession() {
    WindowsSession::SetCurrent(m_previous);
    if (m_hadXdg) ::setenv("XDG_DATA_HOME", m_oldXdg.c_str(), 1);
    else ::unsetenv("XDG_DATA_HOME");
}

}  // namespace mailwright::testing
