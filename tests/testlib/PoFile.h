#pragma once
#include <string>
#include <vector>

namespace mailwright::testing {

// The entries of a gettext .po file, read as msgfmt reads them (no plural forms: the
// program has none).
class PoFile {
public:
    struct Entry {
        std::string context;
        bool hasContext = false;
        std::string id;
        std::string translation;
        bool fuzzy = false;
    };

    explicit PoFile(const std::string& path);

    // False when the file could not be read.
    bool IsOpen() const { return m_open; }
    const std::vector<Entry>& Entries() const { return m_entries; }

private:
    void ReadLine(const std::string& line);
    void EndEntry();

    bool m_open = false;
    std::vector<Entry> m_entries;
    Entry m_entry;
    std::string* m_field = nullptr;
    bool m_started = false;
};

// The languages of po/LINGUAS.
std::vector<std::string> PoLanguages();

// po/<language>.po of the source tree.
std::string PoFilePath(const std::string& language);

}  // namespace mailwright::testing
