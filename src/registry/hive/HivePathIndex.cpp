// The path index: key lines sorted by their first two plain names when added, then
// narrowed level by level for each lookup; lists found for a level are kept for the next.
#include "registry/hive/HivePathIndex.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "registry/hive/HiveCharacters.h"
#include "registry/hive/HiveKeyLine.h"

namespace mailwright::hive {

HivePathIndex::HivePathIndex(const HiveText& text, RegistryKeyTree& tree, const WineHive& hive)  : m_text(text.Memory()), m_indexer(text, tree, hive) {}

void HivePathIndex::AddLine(size_t bracket) {
    const auto line = static_cast<std::uint32_t>(m_brackets.size());
    m_brackets.push_back(bracket);
    const std::string_view path = m_text.substr(bracket + 1, 2 * (kMaxKeyNameLength + 2));
    bool last = false;
    const size_t first = PlainComponentLength(path, 0, last);
    if (first == 0) return m_odd.push_back(Entry{line, 1, 0});
    if (last) {
        m_singles[LowerCase(path.substr(0, first))].push_back(line);
        return;
    }
    const size_t second = PlainComponentLength(path, first + 2, last);
    if (second == 0) return m_odd.push_back(Entry{line, 1, 0});
    const size_t end = first + 2 + second;
    // Lines in a row mostly begin with the same names, written the same way.
    if (const std::string_view names = path.substr(0, end); !m_lastPair || names != m_lastPairText) {
        std::string key = LowerCase(names);
        key.erase(first, 1);  // one backslash between the names
        m_lastPair = &m_pairs[key];
        m_lastPairText.assign(names);
    }
    m_lastPair->push_back(Entry{line, static_cast<std::uint32_t>(1 + end + (last ? 0 : 2)), 0});
}

void HivePathIndex::Start() {
    m_indexed.assign(m_brackets.size(), false);
    m_readable.assign(m_brackets.size(), kUnknown);
    m_left = m_brackets.size();
    m_lastPair = nullptr;
}

size_t HivePathIndex::Lines() const { return m_brackets.size(); }

size_t HivePathIndex::HeaderLength(size_t length) {
    size_t line = 0;
    std::string error;
    while (line < m_brackets.size() && Skipped(line)) Index(line++, error);
    return line < m_brackets.size() ? LineStart(m_brackets[line]) - 1 : length;
}

bool HivePathIndex::Complete() const { return m_left == 0; }

void HivePathIndex::RespellKeys(RegistryKeyNode& root) {
    if (!m_indexer.OtherSpellings()) return;
    std::unordered_set<const RegistryKeyNode*> spelled;
    for (size_t index = 0; index < m_brackets.size(); ++index) {
        if (Skipped(index)) continue;
        const size_t bracket = m_brackets[index];
        const void* found = std::memchr(m_text.data() + bracket, '\n', m_text.size() - bracket);
        const size_t end = found ? static_cast<size_t>(static_cast<const char*>(found) - m_text.data()) : m_text.size();
        const std::string_view line = m_text.substr(bracket + 1, end - bracket - 1);
        RegistryKeyNode* node = &root;
        size_t pos = 0;
        for (EscapedStep step = EscapedStep::Read; step == EscapedStep::Read && node;) {
            m_name.clear();
            while ((step = ReadEscapedStep(line, pos, ']', m_name)) == EscapedStep::Read && m_name.back() != u'\\') {
            }
            if (step == EscapedStep::Read) m_name.pop_back();  // the separator
            if (step == EscapedStep::Failed) break;
            if (m_name.empty()) continue;  // separators in a row count as one
            node = node->FindSubKey(m_name);
            if (node && spelled.insert(node).second) node->Respell(m_name);
        }
    }
}

bool HivePathIndex::IndexAll(std::string& error) {
    for (size_t line = 0; line < m_brackets.size(); ++line)
        if (!m_indexed[line] && !Index(line, error)) return false;
    return true;
}

bool HivePathIndex::IndexPath(std::span<const std::u16string> path, std::string& error) {
    if (Complete()) return true;
    if (path.empty()) return IndexAll(error);
    std::vector<std::uint32_t> wanted;  // lines to index, found level by level
    std::vector<std::pair<std::string, std::vector<Entry>>> found;  // lists to keep once indexed
    found.reserve(path.size());  // `entries` may point into it
    const std::vector<Entry>* entries = nullptr;  // null: every line
    std::string prefix;  // the levels passed, lower-cased where plain, naming the lists kept
    size_t level = 0;
    const std::string first = PlainLowerCase(path[0]);
    const std::string second = path.size() > 1 ? PlainLowerCase(path[1]) : std::string();
    if (!first.empty() && m_done.contains(first)) return true;
    if (!first.empty() && path.size() == 1) {
        WantBelowFirst(first, path[0], wanted);
        return IndexWanted(wanted, found, first, error);
    }
    if (!first.empty() && !second.empty()) {
        prefix = first + "\\" + second;
        if (m_done.contains(prefix)) return true;
        if (const auto kept = m_below.find(prefix); kept != m_below.end()) {
            entries = &kept->second;
        } else {
            found.emplace_back(prefix, BelowFirstTwo(first, second, path, wanted));
            entries = &found.back().second;
        }
        level = 2;
    }
    // The levels left, from the deepest whose lines are known, in one pass over those
    // lines: each line's text is read once for all of them.
    std::vector<std::string> plains, prefixes;
    for (size_t next = level; next < path.size(); ++next) {
        plains.push_back(PlainLowerCase(path[next]));
        prefix += next > 0 ? "\\" : "";
        prefix += plains.back().empty() ? Utf16Bytes(path[next]) : plains.back();
        if (m_done.contains(prefix)) return IndexWanted(wanted, found, std::string(), error);
        prefixes.push_back(prefix);
    }
    level += StartAtDeepestKnown(plains, prefixes, entries);
    PassLevels(entries, path.subspan(level), plains, prefixes, wanted, found);
    return IndexWanted(wanted, found, prefix, error);
}

size_t HivePathIndex::StartAtDeepestKnown(std::vector<std::string>& plains, std::vector<std::string>& prefixes,
                                          const std::vector<Entry>*& entries) const {
    for (size_t known = prefixes.size(); known > 0; --known) {
        if (const auto kept = m_below.find(prefixes[known - 1]); kept != m_below.end()) {
            entries = &kept->second;
            plains.erase(plains.begin(), plains.begin() + static_cast<std::ptrdiff_t>(known));
            prefixes.erase(prefixes.begin(), prefixes.begin() + static_cast<std::ptrdiff_t>(known));
            return known;
        }
    }
    return 0;
}

void HivePathIndex::PassLevels(const std::vector<Entry>* entries, std::span<const std::u16string> names,
                               const std::vector<std::string>& plains, const std::vector<std::string>& prefixes,
                               std::vector<std::uint32_t>& wanted,
                               std::vector<std::pair<std::string, std::vector<Entry>>>& found) {
    std::vector<std::vector<Entry>> below(prefixes.size());
    ForEach(entries, [&](Entry entry) {
        for (size_t at = 0; at < prefixes.size(); ++at) {
            const Step step = Pass(entry, names[at], plains[at]);
            if (step == Step::Below) {
                below[at].push_back(entry);
                continue;
            }
            if (step == Step::Ends || step == Step::Unsure || (step == Step::Beside && ShowsNewWowKey(entry)))
                wanted.push_back(entry.line);
            return;
        }
        wanted.push_back(entry.line);  // at the path or below it
    });
    for (size_t at = 0; at < prefixes.size(); ++at) found.emplace_back(prefixes[at], std::move(below[at]));
}

void HivePathIndex::Filter(const std::vector<Entry>* entries, std::u16string_view name, std::string_view plain, std::vector<Entry>& below, std::vector<std::uint32_t>& wanted) {
    ForEach(entries, [&](Entry entry) {
        const Step step = Pass(entry, name, plain);
        if (step == Step::Below) below.push_back(entry);
        else if (step == Step::Ends || step == Step::Unsure || (step == Step::Beside && ShowsNewWowKey(entry)))
            wanted.push_back(entry.line);
    });
}

void HivePathIndex::WantBelowFirst(const std::string& first, std::u16string_view name, std::vector<std::uint32_t>& wanted) {
    if (const auto singles = m_singles.find(first); singles != m_singles.end())
        wanted.insert(wanted.end(), singles->second.begin(), singles->second.end());
    const std::string start = first + "\\";
    for (auto it = m_pairs.lower_bound(start); it != m_pairs.end() && it->first.starts_with(start); ++it)
        ForEach(&it->second, [&](Entry entry) { wanted.push_back(entry.line); });
    std::vector<Entry> below;
    Filter(&m_odd, name, first, below, wanted);
    ForEach(&below, [&](Entry entry) { wanted.push_back(entry.line); });
}

std::vector<HivePathIndex::Entry> HivePathIndex::BelowFirstTwo(const std::string& first, const std::string& second, std::span<const std::u16string> path, std::vector<std::uint32_t>& wanted) {
    if (const auto singles = m_singles.find(first); singles != m_singles.end())
        wanted.insert(wanted.end(), singles->second.begin(), singles->second.end());
    std::vector<Entry> odd, oddBelow;
    Filter(&m_odd, path[0], first, odd, wanted);
    Filter(&odd, path[1], second, oddBelow, wanted);
    std::vector<Entry> plain;
    if (const auto pairs = m_pairs.find(first + "\\" + second); pairs != m_pairs.end())
        ForEach(&pairs->second, [&](Entry entry) { plain.push_back(entry); });
    std::vector<Entry> below;
    below.reserve(plain.size() + oddBelow.size());
    std::merge(plain.begin(), plain.end(), oddBelow.begin(), oddBelow.end(), std::back_inserter(below),
               [](const Entry& x, const Entry& y) { return x.line < y.line; });
    return below;
}

bool HivePathIndex::IndexWanted(std::vector<std::uint32_t>& wanted, std::vector<std::pair<std::string, std::vector<Entry>>>& found, const std::string& done, std::string& error) {
    if (wanted.size() < m_brackets.size() / 8) {
        std::sort(wanted.begin(), wanted.end());
        for (const std::uint32_t line : wanted)
            if (!m_indexed[line] && !Index(line, error)) return false;
    } else {  // a large part of the hive: marked, then indexed in one sweep
        std::vector<bool> marked(m_brackets.size(), false);
        for (const std::uint32_t line : wanted) marked[line] = true;
        for (size_t line = 0; line < m_brackets.size(); ++line)
            if (marked[line] && !m_indexed[line] && !Index(line, error)) return false;
    }
    for (auto& [prefix, below] : found) m_below[prefix] = std::move(below);
    if (!done.empty()) {
        m_below.erase(done);
        m_done.insert(done);
    }
    return true;
}

size_t HivePathIndex::PlainComponentLength(std::string_view path, size_t at, bool& last) {
    const size_t limit = std::min(path.size(), at + kMaxKeyNameLength + 2);
    size_t end = at;
    for (; end < limit; ++end) {
        const auto c = static_cast<unsigned char>(path[end]);
        if (c == ']' || c == '\\' || c < 0x20 || c >= 0x80) break;
    }
    const size_t length = end - at;
    if (length == 0 || length > kMaxKeyNameLength || end >= limit) return 0;
    last = path[end] == ']';
    if (!last && (path[end] != '\\' || end + 1 >= path.size() || path[end + 1] != '\\')) return 0;
    return IsWow6432Node(path.substr(at, length)) ? 0 : length;
}

bool HivePathIndex::IsWow6432Node(std::string_view name) {
    constexpr std::string_view kWow = "wow6432node";
    if (name.size() != kWow.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if ((name[i] >= 'A' && name[i] <= 'Z' ? name[i] + 32 : name[i]) != kWow[i]) return false;
    return true;
}

std::string HivePathIndex::LowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    return lower;
}

size_t HivePathIndex::Position(const Entry& entry) const { return m_brackets[entry.line] + entry.from; }

std::string HivePathIndex::PlainLowerCase(std::u16string_view name) {
    std::string plain;
    for (char16_t c : name) {
        if (c < 0x20 || c > 0x7E || c == u'\\' || c == u'[' || c == u']') return {};
        plain += static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c);
    }
    return plain;
}

std::string HivePathIndex::Utf16Bytes(std::u16string_view name) {
    std::string bytes(1, '\0');  // never the same as a plain name
    for (char16_t c : name) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
}

bool HivePathIndex::ShowsNewWowKey(const Entry& entry) {
    std::string key(m_text.substr(m_brackets[entry.line] + 1, entry.wowTo - 1));
    for (char& c : key) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return m_wowKeys.insert(std::move(key)).second;
}

HivePathIndex::Step HivePathIndex::Pass(Entry& entry, std::u16string_view name, std::string_view plain) {
    for (;;) {
        const size_t at = Position(entry);
        if (at >= m_text.size()) return Step::Unsure;
        if (m_text[at] == ']') return Step::Ends;
        const std::string_view rest = m_text.substr(at, kMaxKeyNameLength + 2);
        size_t length = 0;
        Match match = plain.empty() ? Match::Unsure : Compare(rest, plain, length);
        bool wow = false;
        if (match == Match::Other) {
            match = Compare(rest, "wow6432node", length);
            wow = match == Match::Same;
        }
        if (match == Match::Unsure) {
            size_t next = at;
            if (!DecodeComponent(next)) return Step::Unsure;
            wow = !RegistryNamesEqual(m_name, name) && RegistryNamesEqual(m_name, u"Wow6432Node");
            match = wow || RegistryNamesEqual(m_name, name) ? Match::Same : Match::Other;
            length = next - at;
        }
        if (match == Match::Other) return entry.wowTo ? Step::Beside : Step::Aside;
        if (entry.from + length > UINT32_MAX) return Step::Unsure;
        entry.from += static_cast<std::uint32_t>(length);
        if (!wow) return Step::Below;
        entry.wowTo = entry.from;
    }
}

HivePathIndex::Match HivePathIndex::Compare(std::string_view rest, std::string_view plain, size_t& length) {
    const auto separatorAt = [&](size_t i) { return i + 1 < rest.size() && rest[i] == '\\' && rest[i + 1] == '\\'; };
    for (size_t i = 0; i <= plain.size(); ++i) {
        if (i + 1 >= rest.size()) return Match::Unsure;
        const auto c = static_cast<unsigned char>(rest[i]);
        if (c >= 0x80 || c < 0x20) return Match::Unsure;
        if (c == ']' || separatorAt(i)) {
            if (i == 0) return Match::Unsure;           // separators in a row
            if (i < plain.size()) return Match::Other;  // a shorter name
            length = c == ']' ? i : i + 2;
            return Match::Same;
        }
        if (c == '\\') return Match::Unsure;         // an escape
        if (i == plain.size()) return Match::Other;  // a longer name
        if ((c >= 'A' && c <= 'Z' ? c + 32 : c) != static_cast<unsigned char>(plain[i])) return Match::Other;
    }
    return Match::Unsure;
}

bool HivePathIndex::DecodeComponent(size_t& at) {
    const void* found = std::memchr(m_text.data() + at, '\n', m_text.size() - at);
    const size_t end = found ? static_cast<size_t>(static_cast<const char*>(found) - m_text.data()) : m_text.size();
    std::string_view line = m_text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    m_name.clear();
    size_t pos = 0;
    EscapedStep step;
    while ((step = ReadEscapedStep(line, pos, ']', m_name)) == EscapedStep::Read && m_name.back() != u'\\') {
    }
    if (step == EscapedStep::Failed) return false;
    if (step == EscapedStep::Read) m_name.pop_back();  // the separator
    if (m_name.empty() || m_name.size() > kMaxKeyNameLength) return false;
    at += step == EscapedStep::Ended ? pos - 1 : pos;
    return true;
}

size_t HivePathIndex::LineStart(size_t bracket) const {
    while (bracket > 0 && IsBlank(m_text[bracket - 1])) --bracket;
    return bracket;
}

bool HivePathIndex::Index(size_t line, std::string& error) {
    if (!Skipped(line)) {
        size_t next = line + 1;
        while (next < m_brackets.size() && Skipped(next)) ++next;
        const size_t end = next < m_brackets.size() ? LineStart(m_brackets[next]) - 1 : m_text.size();
        if (!m_indexer.IndexKeyLine(LineStart(m_brackets[line]), end, error)) return false;
    }
    m_indexed[line] = true;
    --m_left;
    return true;
}

bool HivePathIndex::Skipped(size_t line) {
    if (m_readable[line] == kUnknown) {
        const size_t bracket = m_brackets[line];
        const void* found = std::memchr(m_text.data() + bracket, '\n', m_text.size() - bracket);
        const size_t end = found ? static_cast<size_t>(static_cast<const char*>(found) - m_text.data()) : m_text.size();
        const std::string_view path = m_text.substr(bracket + 1, end - bracket - 1);
        std::string expected;
        const bool readable = PlainlyReadable(path) || path.find('\0') != std::string_view::npos ||
                              KeyLineReadable(path, expected);
        m_readable[line] = readable ? kReadable : kSkipped;
    }
    return m_readable[line] == kSkipped;
}

bool HivePathIndex::PlainlyReadable(std::string_view path) {
    size_t length = 0, depth = 1;
    for (size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (c == ']') return length > 0 || depth == 1;
        if (c < 0x20 || c >= 0x80) return false;
        if (c != '\\') {
            if (++length > kMaxKeyNameLength) return false;
            continue;
        }
        if (length == 0 || i + 1 >= path.size() || path[i + 1] != '\\' || ++depth > kMaxKeyDepth) return false;
        ++i;
        length = 0;
    }
    return false;
}

}  // namespace mailwright::hive
