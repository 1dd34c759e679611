#pragma once
#include <memory>
#include <string>

namespace mailwright {
class WindowsSession;
}

namespace mailwright::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string Sub(const std::string& relative) const { return m_path + "/" + relative; }

    // Writes a file below the folder, making its folders.
    void WriteFile(const std::string& relative, const std::string& content) const;
    // Writes a file at an absolute path, making its folders.
    static void WriteFileAt(const std::string& path, const std::string& content);
    std::string ReadFile(const std::string& relative) const;
    bool Exists(const std::string& relative) const;

private:
    std::string m_path;
};

// A Unix path as the Windows path of drive Z:.
std::string ZPath(const std::string& unixPath);

// A session without a Wine prefix whose Application Data folder lies in a temporary
// folder ($XDG_DATA_HOME); the previous session and environment come back at the end.
class ScopedPrefixlessSession {
public:
    ScopedPrefixlessSession();
    ~ScopedPrefixlessSession();

    const TempFolder& Data() const { return m_data; }
    // The Unix path of the application folder (which may not exist yet).
    std::string AppFolderUnix() const { return m_data.Sub("Mailwright"); }

private:
    TempFolder m_data;
    std::shared_ptr<WindowsSession> m_previous;
    std::string m_oldXdg;
    bool m_hadXdg = false;
};

}  // namespace mailwright::testing
