#pragma once
// The key lines of a hive read whole, indexed path by path as lookups ask for them.
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "registry/HiveText.h"
#include "registry/RegistryKeyTree.h"
#include "registry/hive/HiveIndexer.h"

namespace mailwright::hive {

// The key lines of a hive read whole by OpenFile, indexed path by path as lookups ask for
// them. A lookup needs the lines of the keys on its way and below its end; each level of
// its path narrows the lines of the level above, and the lines found for a level are
// kept for the next lookup that passes there.
class HivePathIndex {
public:
    HivePathIndex(const HiveText& text, RegistryKeyTree& tree, const WineHive& hive);

    // Adds the key line whose opening bracket is at `bracket`; key lines come in the
    // order of the text, each while it is fresh in the processor's cache. A line whose
    // path begins with two plain names goes to the list of those names, so that no
    // lookup has to look at it again for them.
    void AddLine(size_t bracket);

    // After the last line.
    void Start();
    size_t Lines() const;

    // The header ends where the first key line that is read starts: the lines before
    // it that Wine skips stay in it.
    size_t HeaderLength(size_t length);
    bool Complete() const;

    // Once every line is indexed: gives each key the spelling of the first line in the
    // text that names it, as a hive read whole has it, where lines indexed out of the
    // text's order named a key in another spelling first.
    void RespellKeys(RegistryKeyNode& root);
    bool IndexAll(std::string& error);
    bool IndexPath(std::span<const std::u16string> path, std::string& error);

private:
    // How many entries ahead lines are prefetched: far enough to hide a cache miss.
    static constexpr size_t kAhead = 16;

    // A key line, where the part of its path not yet passed starts, and where the last
    // Wow6432Node level passed ends (0: none), from its bracket.
    struct Entry {
        std::uint32_t line;
        std::uint32_t from;
        std::uint32_t wowTo;
    };

    // What a line's path does at the next level of a lookup: goes on below it, ends
    // before it (the line is a key on the lookup's way), turns aside, or cannot be told
    // without indexing the line (odd or damaged text).
    // Beside: aside after a Wow6432Node level; a lookup that may step into that key needs
    // to know that it exists, and one such line tells it.
    enum class Step { Below, Ends, Aside, Beside, Unsure };
    enum class Match { Same, Other, Unsure };

    // Calls `f` for each entry not indexed yet (of every line when `entries` is null).
    template <class F>
    void ForEach(const std::vector<Entry>* entries, F f) const {
        if (!entries) {
            for (size_t line = 0; line < m_brackets.size(); ++line) {
                if (line + kAhead < m_brackets.size()) __builtin_prefetch(m_text.data() + m_brackets[line + kAhead]);
                if (!m_indexed[line]) f(Entry{static_cast<std::uint32_t>(line), 1, 0});
            }
            return;
        }
        const Entry* list = entries->data();
        for (size_t i = 0; i < entries->size(); ++i) {
            // The lines lie far apart in the text: ask for later ones early.
            if (i + kAhead < entries->size()) {
                const char* ahead = m_text.data() + Position(list[i + kAhead]);
                __builtin_prefetch(ahead);
                __builtin_prefetch(ahead + 64);  // a path's later levels
            }
            if (!m_indexed[list[i].line]) f(list[i]);
        }
    }
    // Where the lists kept for a path give its lines: the levels whose lists are known
    // are taken off `plains` and `prefixes`, `entries` is the deepest one's; returns how
    // many levels that passes.
    size_t StartAtDeepestKnown(std::vector<std::string>& plains, std::vector<std::string>& prefixes,
                               const std::vector<Entry>*& entries) const;

    // The levels left of a lookup, named by `names`, in one pass over the entries: each
    // line's text is read once for all of them; the lists below each level go to `found`.
    void PassLevels(const std::vector<Entry>* entries, std::span<const std::u16string> names,
                    const std::vector<std::string>& plains, const std::vector<std::string>& prefixes,
                    std::vector<std::uint32_t>& wanted, std::vector<std::pair<std::string, std::vector<Entry>>>& found);

    // Passes the entries' next level: those below `name` go to `below`, the lines a
    // lookup there needs now to `wanted`.
    void Filter(const std::vector<Entry>* entries, std::u16string_view name, std::string_view plain,
                std::vector<Entry>& below, std::vector<std::uint32_t>& wanted);

    // The lines a lookup of the plain name `first` alone needs: all of them below it.
    void WantBelowFirst(const std::string& first, std::u16string_view name, std::vector<std::uint32_t>& wanted);

    // The lines below the plain names `first` and `second`, in the order of the text; the
    // keys on the way go to `wanted`.
    std::vector<Entry> BelowFirstTwo(const std::string& first, const std::string& second,
                                     std::span<const std::u16string> path, std::vector<std::uint32_t>& wanted);

    // Indexes the wanted lines in the order of the text (a key given twice is merged in
    // that order), then keeps the lists found and marks `done` (unless empty) as a path
    // whose every line is indexed.
    bool IndexWanted(std::vector<std::uint32_t>& wanted, std::vector<std::pair<std::string, std::vector<Entry>>>& found,
                     const std::string& done, std::string& error);

    // The length of the path component at `at` when it is plain (printable ASCII without
    // escapes, not Wow6432Node, not too long) and followed by a separator or, `last`, by
    // the closing bracket; 0 otherwise.
    static size_t PlainComponentLength(std::string_view path, size_t at, bool& last);
    static bool IsWow6432Node(std::string_view name);
    static std::string LowerCase(std::string_view text);
    size_t Position(const Entry& entry) const;

    // The name lower-cased when it is plain ASCII as a key path writes it unescaped; empty
    // otherwise.
    static std::string PlainLowerCase(std::u16string_view name);
    static std::string Utf16Bytes(std::u16string_view name);

    // Whether the line is the first to show the Wow6432Node keys its path passes through
    // (named by the text up to the last of them).
    bool ShowsNewWowKey(const Entry& entry);

    // Passes the line's next path component when it is `name` (`plain`: its plain form,
    // if any), and a Wow6432Node component before it, where a 32-bit lookup may step.
    Step Pass(Entry& entry, std::u16string_view name, std::string_view plain);

    // Whether the path component at the start of `rest` is `plain` (lower-cased ASCII),
    // read as plain bytes: Unsure where an escape, UTF-8, a control character or the end
    // of the text leaves it open. On Same, `length` is the component's with its
    // separator (not with the closing bracket after the last one).
    static Match Compare(std::string_view rest, std::string_view plain, size_t& length);

    // Reads the path component at `at` into m_name as the indexer does, moving `at` past
    // its separator or to the closing bracket; false for text only indexing can judge.
    bool DecodeComponent(size_t& at);

    // The start of the line whose opening bracket is at `bracket`.
    size_t LineStart(size_t bracket) const;

    // A key line Wine skips stays with the key before it: its key's lines end at the
    // next line that is read.
    bool Index(size_t line, std::string& error);

    // Whether Wine skips the key line: its path cannot be read (a line with a NUL byte
    // is not skipped but fails when indexed).
    bool Skipped(size_t line);

    // A path of printable ASCII, names joined by single separators and closed by a
    // bracket: the lines of nearly every hive, told readable without decoding them.
    static bool PlainlyReadable(std::string_view path);

    std::string_view m_text;
    std::vector<size_t> m_brackets;
    std::vector<bool> m_indexed;
    static constexpr std::uint8_t kUnknown = 0, kReadable = 1, kSkipped = 2;
    std::vector<std::uint8_t> m_readable;  // of each line, once looked at
    size_t m_left = 0;
    std::unordered_map<std::string, std::vector<std::uint32_t>> m_singles;  // lines of one plain name, by it
    std::map<std::string, std::vector<Entry>> m_pairs;  // lines below two plain names, by them
    std::vector<Entry> m_odd;                           // the other lines
    std::vector<Entry>* m_lastPair = nullptr;           // while lines are added
    std::string m_lastPairText;
    std::unordered_map<std::string, std::vector<Entry>> m_below;  // the lines below a path, by the path
    std::unordered_set<std::string> m_done;                    // paths whose every line is indexed
    std::unordered_set<std::string> m_wowKeys;                 // Wow6432Node keys shown by a line indexed
    std::u16string m_name;
    HiveIndexer m_indexer;

};

}  // namespace mailwright::hive
