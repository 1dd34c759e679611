#pragma once
// The one pass over a hive's whole text: its header, and every key line with the
// stretch of text its key owns, without reading the lines in between.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "registry/HiveText.h"
#include "registry/RegistryKeyTree.h"
#include "registry/hive/HiveCharacters.h"
#include "registry/hive/HiveKeyLine.h"
#include "registry/hive/HiveLines.h"

namespace mailwright {
class WineHive;
}

namespace mailwright::hive {

// Finds every key line of a hive and the stretch of text each key owns, without
// reading the lines in between: the one pass over the whole text. The header before the
// first key is read line by line; the keys' own lines are read when a key is decoded.
class HiveIndexer {
public:
    HiveIndexer(const HiveText& text, RegistryKeyTree& tree, const WineHive& hive);
    bool Run(std::string& arch, size_t& headerLength, std::string& error);

    // For a text held in memory: reads the header and hands each key line's opening
    // bracket to `onKeyLine`, reading no key line further.
    template <class OnKeyLine>
    bool FindKeyLines(std::string& arch, size_t& headerLength, OnKeyLine onKeyLine, std::string& error) {
        const std::string_view text = m_text.Memory();
        headerLength = text.size();
        size_t start = ReadHeader(text, 0, arch);
        if (start == kFailed) {
            error = LineError(m_text, m_errorOffset, m_message);
            return false;
        }
        if (!m_headerSeen) {
            error = "line 1: not a Wine registry file";
            return false;
        }
        if (start == std::string_view::npos) return true;
        headerLength = start - 1;
        for (; start != std::string_view::npos; start = NextKeyLine(text, start)) onKeyLine(SkipBlanks(text, start));
        return true;
    }
    // Whether a key line named a key already there in another spelling.
    bool OtherSpellings() const;

    // For a text held in memory: indexes the key line at `start`, whose key's lines end
    // at `end`. A key given more than once is merged as in Run, provided its lines are
    // indexed in the order of the text.
    bool IndexKeyLine(size_t start, size_t end, std::string& error);

    // Where damaged lines are told (null: nowhere).
    void SetNotes(const HiveNotes* notes);

private:
    static constexpr size_t kFailed = std::string_view::npos - 1;

    // Reads the header's lines of a piece: npos when the header goes on, kFailed when it
    // is not Wine's, else where the first key line starts.
    size_t ReadHeader(std::string_view piece, size_t offset, std::string& arch);
    size_t Fail(size_t offset, const char* what);

    // The start of the first line of the piece, from `from` on, whose first character
    // other than a blank is an opening bracket; npos when there is none. Brackets inside
    // values are frequent; a key line's comes first on its line. A piece begins at the
    // start of a line.
    static size_t FindKeyLine(std::string_view piece, size_t from);

    // The key line after the one at `keyLine`.
    static size_t NextKeyLine(std::string_view piece, size_t keyLine);

    enum class KeyLineRead { Read, Skipped, Failed };

    // The key line at `start` of the piece. A line Wine cannot read either is skipped,
    // as Wine skips it: it and the lines after it stay with the key before it (or the
    // header) as text that is kept.
    KeyLineRead KeyLine(std::string_view piece, size_t offset, size_t start);

    // Ends the stretch of the last key. A key given twice is merged, as Wine does, and
    // written anew.
    bool CloseBlock(size_t end, std::string& error);

    // The key the path of a key line names, made with every missing key above it; `pos`
    // goes from the opening bracket's end to the closing one's. Null, with what was
    // expected, for a line that cannot be read; nothing is made then. Hives list keys
    // depth first in name order, so most of a path is the last key line's: the
    // components whose text is the same are the same keys, and only the rest is decoded.
    RegistryKeyNode* FindOrAddKey(std::string_view line, size_t& pos);
    static RegistryKeyNode* LastOrFound(const RegistryKeyNode& node, std::u16string_view name);

    const HiveText& m_text;
    RegistryKeyTree& m_tree;
    const WineHive& m_hive;
    bool m_headerSeen = false;
    bool m_otherSpellings = false;
    RegistryKeyNode* m_key = nullptr;
    size_t m_blockStart = 0;
    bool m_merging = false;
    std::vector<std::u16string> m_names;    // the names of a key line being read
    std::vector<size_t> m_ends;             // where the name after each of them starts
    size_t* m_headerLength = nullptr;       // set at the first key line read
    const HiveNotes* m_notes = nullptr;
    std::string m_lastPath;                 // the last key line's text after its bracket
    std::vector<RegistryKeyNode*> m_chain;  // the last key line's keys, by depth
    std::vector<size_t> m_nextStarts;       // where in m_lastPath each key's successor starts
    size_t m_errorOffset = 0;
    std::string m_message;

};

}  // namespace mailwright::hive
