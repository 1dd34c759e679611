#pragma once
#include <string>
#include <vector>

#include "support/FileSystem.h"

namespace mailwright {
namespace Traits {
// Narrow paths in the ANSI code page.
struct VeskFsPathStrTraitA {
    using String = std::string;
    static constexpr char kSeparator = '\\';
    static bool IsSeparator(char c) { return c == '\\' || c == '/'; }
};
}  // namespace Traits

// A Windows path. Backslash and slash both separate when a path is read; the
// separator the type inserts is always a backslash. Relative paths stay relative.
template <class Tr>
class VeskFsPathT {
public:
    using String = typename Tr::String;

    VeskFsPathT() = default;
    VeskFsPathT(String text) : m_path(std::move(text)) {}  // NOLINT: paths convert from text
    VeskFsPathT(const char* text) : m_path(text ? text : "") {}  // NOLINT
    virtual ~VeskFsPathT() = default;
    VeskFsPathT(const VeskFsPathT&) = default;
    VeskFsPathT& operator=(const VeskFsPathT&) = default;

    const String& Str() const { return m_path; }
    const char* c_str() const { return m_path.c_str(); }
    bool IsEmpty() const { return m_path.empty(); }
    bool operator==(const VeskFsPathT& other) const { return m_path == other.m_path; }

    // The last component: after the last backslash, else after the last slash.
    VeskFsPathT GetFileName() const {
        size_t cut = m_path.rfind('\\');
        if (cut == String::npos) cut = m_path.rfind('/');
        return cut == String::npos ? *this : VeskFsPathT(m_path.substr(cut + 1));
    }

    // Adds a backslash unless the path is empty or ends with a separator, then the component.
    void Append(const char* component) {
        if (!m_path.empty() && !Tr::IsSeparator(m_path.back())) m_path += Tr::kSeparator;
        if (component) m_path += component;
    }
    void Append(const String& component) { Append(component.c_str()); }

    VeskFsPathT Combine(const char* component) const {
        VeskFsPathT copy(*this);
        copy.Append(component);
        return copy;
    }
    VeskFsPathT Combine(const String& component) const { return Combine(component.c_str()); }

    // Removes one trailing backslash; a trailing slash stays.
    void RemoveTrailingBackslash() {
        if (!m_path.empty() && m_path.back() == '\\') m_path.pop_back();
    }

    // True only for an existing folder (a drive root included).
    bool DirectoryExists() const { return FindFirstEntry(Combine("*.*").Str()).has_value(); }

    // Creates every missing folder of the path; the first part (drive or server) is never created.
    bool CreateDirectoryTree() const {
        std::vector<String> parts;
        String current;
        for (char c : m_path) {
            if (Tr::IsSeparator(c)) {
                if (!current.empty()) parts.push_back(current);
                current.clear();
            } else {
                current += c;
            }
        }
        if (!current.empty()) parts.push_back(current);
        if (parts.size() < 2) return DirectoryExists();

        const bool unc = m_path.size() >= 2 && m_path[0] == '\\' && m_path[1] == '\\';
        VeskFsPathT working(unc ? String("\\\\") : String());
        working.m_path += parts[0];
        for (size_t i = 1; i < parts.size(); ++i) {
            working.Append(parts[i]);
            // Another process may make the same folder at the same moment.
            if (!working.DirectoryExists() && !CreateFolder(working.Str()) && !working.DirectoryExists()) return false;
        }
        return true;
    }

private:
    String m_path;
};

using VeskFsPath = VeskFsPathT<Traits::VeskFsPathStrTraitA>;

// True when the path (without one trailing backslash) names an existing file or folder.
bool PathExists(VeskFsPath path);

// The user's Application Data folder; empty when it cannot be found.
VeskFsPath GetSpecialFolderPath();

// The program's own folder inside the Application Data folder, created when missing;
// empty on failure.
VeskFsPath GetApplicationFolder();

}  // namespace mailwright
