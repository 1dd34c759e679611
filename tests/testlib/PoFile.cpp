#include "testlib/PoFile.h"

#include <fstream>

namespace mailwright::testing {
namespace {

// The text between the first and the last quotation mark, unescaped.
std::string Unquoted(const std::string& line) {
    const std::string::size_type first = line.find('"');
    const std::string::size_type last = line.rfind('"');
    std::string text;
    for (std::string::size_type at = first + 1; at < last; ++at) {
        if (line[at] != '\\' || at + 1 >= last) {
            text += line[at];
            continue;
        }
        switch (line[++at]) {
        case 'n': text += '\n'; break;
        case 't': text += '\t'; break;
        case 'r': text += '\r'; break;
        default: text += line[at]; break;
        }
    }
    return text;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

PoFile::PoFile(const std::string& path) {
    std::ifstream in(path);
    m_open = static_cast<bool>(in);
    std::string line;
    while (std::getline(in, line)) ReadLine(line);
    EndEntry();
}

void PoFile::ReadLine(const std::string& line) {
    if (line.empty() || StartsWith(line, "#~")) {
        EndEntry();
    } else if (StartsWith(line, "#,")) {
        m_started = true;
        if (line.find("fuzzy") != std::string::npos) m_entry.fuzzy = true;
    } else if (StartsWith(line, "#")) {
        m_started = true;
    } else if (StartsWith(line, "msgctxt ")) {
        m_started = true;
        m_entry.hasContext = true;
        m_entry.context = Unquoted(line);
        m_field = &m_entry.context;
    } else if (StartsWith(line, "msgid ")) {
        m_started = true;
        m_entry.id = Unquoted(line);
        m_field = &m_entry.id;
    } else if (StartsWith(line, "msgstr ")) {
        m_entry.translation = Unquoted(line);
        m_field = &m_entry.translation;
    } else if (StartsWith(line, "\"") && m_field) {
        *m_field += Unquoted(line);
    }
}

void PoFile::EndEntry() {
    if (m_started && !m_entry.id.empty()) m_entries.push_back(m_entry);
    m_entry = Entry();
    m_field = nullptr;
    m_started = false;
}

std::vector<std::string> PoLanguages() {
    std::ifstream in(MW_SOURCE_DIR "/po/LINGUAS");
    std::vector<std::string> languages;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] != '#') languages.push_back(line);
    }
    return languages;
}

std::string PoFilePath(const std::string& language) { return MW_SOURCE_DIR "/po/" + language + ".po"; }

}  // namespace mailwright::testing
