// Key lines read as Wine reads them (server/registry.c, load_key).
#include "registry/hive/HiveKeyLine.h"

#include "registry/hive/HiveCharacters.h"

namespace mailwright::hive {

// What follows a key line's closing bracket: the Unix seconds, read as Wine's
// sscanf(" %u") reads them (what follows the digits is ignored); none without digits.
std::optional<std::uint64_t> ReadKeySeconds(std::string_view line, size_t pos) {
    while (pos < line.size() && IsSpace(line[pos])) ++pos;
    bool negative = false;
    if (pos < line.size() && (line[pos] == '+' || line[pos] == '-')) negative = line[pos++] == '-';
    if (pos >= line.size() || line[pos] < '0' || line[pos] > '9') return std::nullopt;
    std::uint64_t value = 0;
    bool overflow = false;
    for (; pos < line.size() && line[pos] >= '0' && line[pos] <= '9'; ++pos) {
        overflow = overflow || value > (UINT64_MAX - 9) / 10;
        value = value * 10 + static_cast<std::uint64_t>(line[pos] - '0');
    }
    if (overflow) value = UINT64_MAX;
    return static_cast<std::uint32_t>(negative ? 0 - value : value);
}

// Reads the names of a key line's path from `pos` on, as Wine splits a path: a run of
// separators counts as one, and one at the end adds nothing. `atStart`: `pos` is just
// after the opening bracket, where a separator makes the line unreadable for Wine.
// The first `count` of `names` are read (the others are buffers kept for the next line);
// `ends[i]` is where the name after `names[i]` starts (npos after the last); `depth` is
// the number of names before `pos`. False, with what was expected, for a line that
// cannot be read; `pos` then lies where the reading stopped.
bool ReadPathNames(std::string_view line, size_t& pos, bool atStart, size_t depth, std::vector<std::u16string>& names,
                   size_t& count, std::vector<size_t>& ends, std::string& expected) {
    count = 0;
    ends.clear();
    for (;;) {
        if (names.size() <= count) names.emplace_back();
        std::u16string& name = names[count];
        name.clear();
        EscapedStep step;
        // A backslash decoded from an escape ends a name too (Wine writes "\\").
        while ((step = ReadEscapedStep(line, pos, ']', name)) == EscapedStep::Read && name.back() != u'\\') {
        }
        if (step == EscapedStep::Failed) {
            expected = "expected a key line closed by ']' (in UTF-8)";
            return false;
        }
        const bool last = step == EscapedStep::Ended;
        if (!last) name.pop_back();
        if (name.empty() && !last && atStart && count == 0) {
            expected = "expected a key name before the first separator";
            return false;
        }
        if (!name.empty()) {
            if (name.size() > kMaxKeyNameLength || depth + count >= kMaxKeyDepth) {
                expected = name.size() > kMaxKeyNameLength ? "expected key names of at most 255 characters"
                                                           : "expected a key path of at most 512 names";
                return false;
            }
            ends.push_back(last ? std::string_view::npos : pos);
            ++count;
        }
        if (last) return true;
    }
}

// Whether the key line whose text after its opening bracket is `path` can be read.
bool KeyLineReadable(std::string_view path, std::string& expected) {
    std::vector<std::u16string> names;
    std::vector<size_t> ends;
    size_t pos = 0, count = 0;
    return ReadPathNames(path, pos, true, 0, names, count, ends, expected);
}

bool IsLinkOption(std::string_view option) {
    return option.substr(0, 5) == "#link" && (option.size() == 5 || IsBlank(option[5]));
}

// A key's own lines as read: the stretch without the line break before its key line.
bool ReadKeyLines(const HiveText& text, const RegistryKeyNode& key, std::string& lines, size_t& offset) {
    if (!text.Read(key.textOffset, key.textLength, lines)) return false;
    offset = key.textOffset;
    if (!lines.empty() && lines[0] == '\n') {
        lines.erase(0, 1);
        ++offset;
    }
    return true;
}

}  // namespace mailwright::hive
