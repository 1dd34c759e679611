#include "registry/WineHive.h"

#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "registry/MalformedValueReader.h"

namespace mailwright {
namespace {

constexpr std::string_view kHeader = "WINE REGISTRY Version 2";
constexpr std::int64_t kTicks1601To1970 = 116444736000000000LL;
constexpr std::int64_t kTicksPerSecond = 10000000LL;
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxKeyDepth = 512;

// Told where a line was skipped or read only in part: its offset in the text and what
// was expected there.
using HiveNotes = std::function<void(size_t offset, const std::string& expected)>;  // WineHive::NoteSink

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

void AppendUnit(std::vector<std::uint8_t>& bytes, char16_t unit) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
}

// ---- Reading ----------------------------------------------------------------------

// One line of the text, without its line break (and without a CR before it).
struct Line {
    size_t start = 0;  // offset of the line in the text
    std::string_view text;
};

// Decodes one UTF-8 character at `pos`; false for a malformed sequence.
bool DecodeUtf8(std::string_view text, size_t& pos, std::u16string& out) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    int extra;
    char32_t code;
    if (lead < 0x80) {
        out += static_cast<char16_t>(lead);
        ++pos;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        code = lead & 0x07;
    } else {
        return false;
    }
    if (pos + extra >= text.size()) return false;
    for (int i = 1; i <= extra; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) return false;
        code = (code << 6) | (byte(pos + i) & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (code >= 0x10000) {
        code -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (code >> 10));
        out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
        out += static_cast<char16_t>(code);
    }
    pos += extra + 1;
    return true;
}

// How many bytes two texts share at their start; eight at a time.
size_t CommonPrefixLength(std::string_view a, std::string_view b) {
    const size_t length = std::min(a.size(), b.size());
    size_t same = 0;
    for (; same + 8 <= length; same += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a.data() + same, 8);
        std::memcpy(&y, b.data() + same, 8);
        if (x != y) return same + static_cast<size_t>(std::countr_zero(x ^ y) / 8);  // little-endian
    }
    while (same < length && a[same] == b[same]) ++same;
    return same;
}

// The length of the run of plain ASCII at the start of `text`: no `terminator`, no
// backslash, no byte of a UTF-8 sequence. Eight bytes at a time.
size_t PlainRunLength(std::string_view text, char terminator) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    const auto hasByte = [](std::uint64_t word, unsigned char c) {
        const std::uint64_t x = word ^ (kOnes * c);
        return (x - kOnes) & ~x & kHighs;
    };
    size_t run = 0;
    for (; run + 8 <= text.size(); run += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + run, 8);
        if ((word & kHighs) | hasByte(word, '\\') | hasByte(word, static_cast<unsigned char>(terminator))) break;
    }
    while (run < text.size()) {
        const auto c = static_cast<unsigned char>(text[run]);
        if (c == static_cast<unsigned char>(terminator) || c == '\\' || c >= 0x80) break;
        ++run;
    }
    return run;
}

enum class EscapedStep { Read, Ended, Failed };

// Reads one piece of escaped text at `pos`, as Wine's parse_strW does: a run of plain
// ASCII (nearly all of a hive, taken in one go), one escape or one UTF-8 character.
// Ended: the unescaped `terminator` was read. Failed: the line ends first or holds bad UTF-8.
EscapedStep ReadEscapedStep(std::string_view line, size_t& pos, char terminator, std::u16string& out) {
    const size_t end = pos + PlainRunLength(line.substr(pos), terminator);
    if (end > pos) {
        const size_t at = out.size();
        out.resize(at + (end - pos));
        for (size_t i = pos; i < end; ++i) out[at + (i - pos)] = static_cast<unsigned char>(line[i]);
        pos = end;
        return EscapedStep::Read;
    }
    if (pos >= line.size()) return EscapedStep::Failed;
    const char c = line[pos];
    if (c == terminator) {
        ++pos;
        return EscapedStep::Ended;
    }
    if (c != '\\') return DecodeUtf8(line, pos, out) ? EscapedStep::Read : EscapedStep::Failed;
    if (++pos >= line.size()) return EscapedStep::Failed;
    const char e = line[pos];
    static constexpr std::string_view kLetters = "abefnrtv";
    static constexpr char16_t kCodes[] = {u'\a', u'\b', 0x1B, u'\f', u'\n', u'\r', u'\t', u'\v'};
    if (const size_t letter = kLetters.find(e); letter != std::string_view::npos) {
        out += kCodes[letter];
        ++pos;
    } else if (e == 'x') {
        ++pos;
        char16_t value = 0;
        int digits = 0;
        while (digits < 4 && pos < line.size() && IsHexDigit(line[pos])) {
            value = static_cast<char16_t>((value << 4) | HexValue(line[pos++]));
            ++digits;
        }
        out += digits ? value : u'x';
    } else if (e >= '0' && e <= '7') {
        char16_t value = 0;
        for (int digits = 0; digits < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7'; ++digits)
            value = static_cast<char16_t>((value << 3) | (line[pos++] - '0'));
        out += value;
    } else if (!DecodeUtf8(line, pos, out)) {  // any other escaped character is itself
        return EscapedStep::Failed;
    }
    return EscapedStep::Read;
}

// Reads escaped text up to the unescaped `terminator`; `pos` ends after the terminator.
// False when the line ends first or holds bad UTF-8.
bool ReadEscaped(std::string_view line, size_t& pos, char terminator, std::u16string& out) {
    for (;;) {
        switch (ReadEscapedStep(line, pos, terminator, out)) {
            case EscapedStep::Read: break;
            case EscapedStep::Ended: return true;
            case EscapedStep::Failed: return false;
        }
    }
}

bool OnlyBlanksFrom(std::string_view line, size_t pos) {
    for (; pos < line.size(); ++pos)
        if (!IsBlank(line[pos])) return false;
    return true;
}

struct DataType {
    std::string_view tag;
    DWORD type;
    enum Form { String, Hex, Dword, HexWithType } form;
};

constexpr DataType kDataTypes[] = {
    {"\"", REG_SZ, DataType::String},           {"str:\"", REG_SZ, DataType::String},
    {"str(2):\"", REG_EXPAND_SZ, DataType::String}, {"str(7):\"", REG_MULTI_SZ, DataType::String},
    {"hex:", REG_BINARY, DataType::Hex},        {"dword:", REG_DWORD, DataType::Dword},
    {"hex(", REG_NONE, DataType::HexWithType},
};

// The lines of a stretch of the text, each without its line break (and a CR before it).
class LineReader {
public:
    LineReader(std::string_view text, size_t begin, size_t end) : m_text(text.substr(0, end)), m_pos(begin) {}
    bool Next(Line& line) {
        if (m_pos >= m_text.size()) return false;
        const void* found = std::memchr(m_text.data() + m_pos, '\n', m_text.size() - m_pos);
        const size_t end = found ? static_cast<size_t>(static_cast<const char*>(found) - m_text.data()) : m_text.size();
        line.start = m_pos;
        line.text = m_text.substr(m_pos, end - m_pos);
        if (!line.text.empty() && line.text.back() == '\r') line.text.remove_suffix(1);
        m_pos = end + 1;
        return true;
    }
    // Where the line after the last one handed out starts (past the end after the last).
    size_t Position() const { return m_pos; }
    void Rewind(size_t position) { m_pos = position; }

private:
    std::string_view m_text;
    size_t m_pos;
};

constexpr size_t kPieceSize = 1 << 20;

// The number of the line in which `offset` lies.
size_t LineNumberAt(const HiveText& text, size_t offset) {
    size_t lines = 1;
    std::string piece;
    for (size_t at = 0; at < offset; at += kPieceSize) {
        const size_t length = std::min(kPieceSize, offset - at);
        if (!text.Read(at, length, piece)) break;
        lines += static_cast<size_t>(std::count(piece.begin(), piece.end(), '\n'));
    }
    return lines;
}

std::string LineError(const HiveText& text, size_t offset, const std::string& what) {
    return "line " + std::to_string(LineNumberAt(text, offset)) + ": " + what;
}

size_t SkipBlanks(std::string_view line, size_t pos) {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    return pos;
}

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

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

// Hands out a hive's text in pieces of whole lines, about a megabyte each (more when a
// single line is longer); a text held in memory comes as one piece.
class PieceReader {
public:
    explicit PieceReader(const HiveText& text) : m_text(text) {}

    // The next piece and where it starts; false at the end and when the file cannot be read.
    bool Next(std::string_view& piece, size_t& offset) {
        if (m_next >= m_text.Size()) return false;
        offset = m_next;
        if (m_text.InMemory()) {
            piece = m_text.Memory().substr(m_next);
            m_next = m_text.Size();
            return true;
        }
        size_t length = std::min(kPieceSize, m_text.Size() - m_next);
        size_t cut = 0;
        for (;;) {
            if (!m_text.Read(m_next, length, m_buffer)) {
                m_failed = true;
                return false;
            }
            if (m_next + length == m_text.Size()) {
                cut = length;
                break;
            }
            if (const size_t last = m_buffer.rfind('\n'); last != std::string::npos) {
                cut = last + 1;
                break;
            }
            length = std::min(length * 2, m_text.Size() - m_next);
        }
        piece = std::string_view(m_buffer).substr(0, cut);
        m_next += cut;
        return true;
    }
    bool Failed() const { return m_failed; }

private:
    const HiveText& m_text;
    std::string m_buffer;
    size_t m_next = 0;
    bool m_failed = false;
};

// Finds every key line of a hive and the stretch of text each key owns, without
// reading the lines in between: the one pass over the whole text. The header before the
// first key is read line by line; the keys' own lines are read when a key is decoded.
class HiveIndexer {
public:
    HiveIndexer(const HiveText& text, RegistryKeyTree& tree, const WineHive& hive)
        : m_text(text), m_tree(tree), m_hive(hive) {}

    bool Run(std::string& arch, size_t& headerLength, std::string& error) {
        headerLength = m_text.Size();
        m_headerLength = &headerLength;
        PieceReader pieces(m_text);
        std::string_view piece;
        size_t offset = 0;
        bool inHeader = true;
        while (pieces.Next(piece, offset)) {
            size_t start = 0;
            if (inHeader) {
                start = ReadHeader(piece, offset, arch);
                if (start == kFailed) {
                    error = LineError(m_text, m_errorOffset, m_message);
                    return false;
                }
                if (start == std::string_view::npos) continue;
                inHeader = false;
            } else {
                start = FindKeyLine(piece, 0);
            }
            for (; start != std::string_view::npos; start = NextKeyLine(piece, start)) {
                if (KeyLine(piece, offset, start) == KeyLineRead::Failed) {
                    error = LineError(m_text, offset + start, m_message);
                    return false;
                }
            }
        }
        if (pieces.Failed()) {
            error = "cannot be read";
            return false;
        }
        if (!m_headerSeen) {
            error = "line 1: not a Wine registry file";
            return false;
        }
        return CloseBlock(m_text.Size(), error);
    }

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
    bool OtherSpellings() const { return m_otherSpellings; }

    // For a text held in memory: indexes the key line at `start`, whose key's lines end
    // at `end`. A key given more than once is merged as in Run, provided its lines are
    // indexed in the order of the text.
    bool IndexKeyLine(size_t start, size_t end, std::string& error) {
        const KeyLineRead read = KeyLine(m_text.Memory(), 0, start);
        if (read == KeyLineRead::Failed) error = LineError(m_text, start, m_message);
        const bool closed = read != KeyLineRead::Failed && CloseBlock(end, error);
        m_key = nullptr;
        return closed;
    }

    // Where damaged lines are told (null: nowhere).
    void SetNotes(const HiveNotes* notes) { m_notes = notes; }

private:
    static constexpr size_t kFailed = std::string_view::npos - 1;

    // Reads the header's lines of a piece: npos when the header goes on, kFailed when it
    // is not Wine's, else where the first key line starts.
    size_t ReadHeader(std::string_view piece, size_t offset, std::string& arch) {
        LineReader lines(piece, 0, piece.size());
        Line line;
        while (lines.Next(line)) {
            if (line.text.find('\0') != std::string_view::npos) return Fail(offset + line.start, "a NUL byte");
            if (!m_headerSeen) {
                if (line.text != kHeader) return Fail(0, "not a Wine registry file");
                m_headerSeen = true;
                continue;
            }
            const size_t pos = SkipBlanks(line.text, 0);
            if (pos == line.text.size() || line.text[pos] == ';') continue;
            const char c = line.text[pos];
            if (c == '[') return line.start;
            if (c != '#') {  // Wine ignores global options it does not know, but nothing else
                return Fail(offset + line.start,
                            c == '@' || c == '"' ? "a value before the first key" : "unrecognized line");
            }
            if (line.text.substr(pos, 6) == "#arch=") arch = std::string(line.text.substr(pos + 6));
        }
        return std::string_view::npos;
    }

    size_t Fail(size_t offset, const char* what) {
        m_errorOffset = offset;
        m_message = what;
        return kFailed;
    }

    // The start of the first line of the piece, from `from` on, whose first character
    // other than a blank is an opening bracket; npos when there is none. Brackets inside
    // values are frequent; a key line's comes first on its line. A piece begins at the
    // start of a line.
    static size_t FindKeyLine(std::string_view piece, size_t from) {
        while (from < piece.size()) {
            const void* bracket = std::memchr(piece.data() + from, '[', piece.size() - from);
            if (!bracket) break;
            const size_t at = static_cast<size_t>(static_cast<const char*>(bracket) - piece.data());
            size_t start = at;
            while (start > 0 && IsBlank(piece[start - 1])) --start;
            if (start == 0 || piece[start - 1] == '\n') return start;
            from = at + 1;
        }
        return std::string_view::npos;
    }

    // The key line after the one at `keyLine`.
    static size_t NextKeyLine(std::string_view piece, size_t keyLine) {
        const void* end = std::memchr(piece.data() + keyLine, '\n', piece.size() - keyLine);
        if (!end) return std::string_view::npos;
        return FindKeyLine(piece, static_cast<size_t>(static_cast<const char*>(end) - piece.data()) + 1);
    }

    enum class KeyLineRead { Read, Skipped, Failed };

    // The key line at `start` of the piece. A line Wine cannot read either is skipped,
    // as Wine skips it: it and the lines after it stay with the key before it (or the
    // header) as text that is kept.
    KeyLineRead KeyLine(std::string_view piece, size_t offset, size_t start) {
        const void* found = std::memchr(piece.data() + start, '\n', piece.size() - start);
        const size_t end = found ? static_cast<size_t>(static_cast<const char*>(found) - piece.data()) : piece.size();
        std::string_view line = piece.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find('\0') != std::string_view::npos) {
            m_message = "a NUL byte";
            return KeyLineRead::Failed;
        }
        size_t pos = SkipBlanks(line, 0) + 1;
        RegistryKeyNode* key = FindOrAddKey(line, pos);
        if (!key) {
            if (!m_key && m_notes) (*m_notes)(offset + start, m_message);  // within a key, its decoding tells
            return KeyLineRead::Skipped;
        }
        const size_t blockStart = offset + start - 1;  // the line break before the key line
        std::string error;
        if (!CloseBlock(blockStart, error)) {
            m_message = error;
            return KeyLineRead::Failed;
        }
        if (!m_key && m_headerLength) *m_headerLength = blockStart;
        m_key = key;
        m_blockStart = blockStart;
        m_merging = key->textLength > 0 || key->changed;
        if (m_merging && key->NeedsDecoding() && !m_hive.Decode(*key, m_message)) return KeyLineRead::Failed;
        return KeyLineRead::Read;
    }

    // Ends the stretch of the last key. A key given twice is merged, as Wine does, and
    // written anew.
    bool CloseBlock(size_t end, std::string& error) {
        if (!m_key) return true;
        if (!m_merging) {
            m_key->textOffset = m_blockStart;
            m_key->textLength = static_cast<std::uint32_t>(end - m_blockStart);
            m_key->linkUnknown = true;
            return true;
        }
        RegistryKeyNode& key = *m_key;
        std::unique_ptr<RegistryKeyContent> earlier = key.CopyContent();
        const bool wasLink = key.isLink;
        key.SetContent(nullptr);
        key.textOffset = m_blockStart;
        key.textLength = static_cast<std::uint32_t>(end - m_blockStart);
        if (!m_hive.Decode(key, error)) return false;
        std::unique_ptr<RegistryKeyContent> later = key.CopyContent();
        key.isLink = key.isLink || wasLink;
        key.SetContent(std::move(earlier));
        if (later->modified) key.SetModified(later->modified);
        if (later->className) key.SetClassName(later->className);
        for (RegistryValue& value : later->values) key.PutValue(std::move(value));
        key.KeepLines(later->keptLines);
        key.textLength = 0;
        key.changed = true;
        return true;
    }

    // The key the path of a key line names, made with every missing key above it; `pos`
    // goes from the opening bracket's end to the closing one's. Null, with what was
    // expected, for a line that cannot be read; nothing is made then. Hives list keys
    // depth first in name order, so most of a path is the last key line's: the
    // components whose text is the same are the same keys, and only the rest is decoded.
    RegistryKeyNode* FindOrAddKey(std::string_view line, size_t& pos) {
        const std::string_view path = line.substr(pos);
        const size_t same = CommonPrefixLength(path, m_lastPath);
        size_t reused = 0;
        while (reused < m_nextStarts.size() && m_nextStarts[reused] <= same) ++reused;
        size_t at = pos + (reused > 0 ? m_nextStarts[reused - 1] : 0);
        size_t count = 0;
        if (!ReadPathNames(line, at, reused == 0, reused, m_names, count, m_ends, m_message)) return nullptr;
        m_chain.resize(reused);
        m_nextStarts.resize(reused);
        m_lastPath.assign(path);
        RegistryKeyNode* node = reused > 0 ? m_chain.back() : &m_tree.Root();  // [] is the root
        for (size_t i = 0; i < count; ++i) {
            RegistryKeyNode* next = LastOrFound(*node, m_names[i]);
            if (next && next->Name() != std::u16string_view(m_names[i])) m_otherSpellings = true;
            node = next ? next : &node->AddSubKey(m_names[i], 0);
            m_chain.push_back(node);
            m_nextStarts.push_back(m_ends[i] == std::string_view::npos ? m_ends[i] : m_ends[i] - pos);
        }
        pos = at;
        return node;
    }

    static RegistryKeyNode* LastOrFound(const RegistryKeyNode& node, std::u16string_view name) {
        const auto& subkeys = node.SubKeys();
        if (subkeys.empty()) return nullptr;
        const int order = CompareRegistryNames(subkeys.back()->Name(), name);
        if (order < 0) return nullptr;
        if (order == 0) return subkeys.back();
        return node.FindSubKey(name);
    }

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

// Reads the lines of one key: the time of its key line, its options and its values. A
// line Wine reads only in part, or skips, is read as Wine reads it and kept as it was, so
// that the key written anew still holds it; each such line is told to the notes.
class KeyDecoder {
public:
    // The key's lines, which start at `offset` of the text; `notes` may be null.
    KeyDecoder(std::string_view lines, size_t offset, const HiveNotes* notes)
        : m_text(lines), m_offset(offset), m_lines(lines, 0, lines.size()), m_notes(notes) {}

    // `duplicates` tells whether a value was given twice (the key must then be written
    // anew), `link` whether the key is a link.
    void Run(RegistryKeyContent& content, bool& duplicates, bool& link) {
        Line line;
        bool keyLineSeen = false;
        while (m_lines.Next(line)) {
            const size_t pos = SkipBlanks(line.text, 0);
            if (pos == line.text.size() || line.text[pos] == ';') continue;
            const char c = line.text[pos];
            if (c == '[' && !keyLineSeen) {
                keyLineSeen = true;
                KeyLineTime(line.text, pos + 1, content);
            } else if (c == '[') {
                return KeepTheRest(line, content);
            } else if (c == '#') {
                Option(line, pos, content);
                link = link || IsLinkOption(line.text.substr(pos));
            } else if (c == '@' || c == '"') {
                Value(line, pos, content, duplicates);
            } else {
                Keep(line, content, "expected a value, an option or a key line");
            }
        }
    }

private:
    static void KeyLineTime(std::string_view line, size_t pos, RegistryKeyContent& content) {
        std::u16string path;
        if (!ReadEscaped(line, pos, ']', path)) return;  // the indexer read it: cannot happen
        if (const auto seconds = ReadKeySeconds(line, pos))
            content.modified = static_cast<std::uint64_t>(kTicks1601To1970) + *seconds * kTicksPerSecond;
    }

    // The line as read, from its start to the line break after `end`'s line.
    std::string RawText(size_t start) const {
        std::string raw(m_text.substr(start, std::min(m_lines.Position(), m_text.size()) - start));
        if (raw.empty() || raw.back() != '\n') raw += '\n';
        return raw;
    }

    void Note(size_t start, const std::string& expected) const {
        if (m_notes) (*m_notes)(m_offset + start, expected);
    }

    void Keep(const Line& line, RegistryKeyContent& content, const std::string& expected) {
        content.keptLines += RawText(line.start);
        Note(line.start, expected);
    }

    // A key line Wine cannot read: Wine skips it and every line up to the next key.
    void KeepTheRest(const Line& line, RegistryKeyContent& content) {
        std::string expected;
        KeyLineReadable(line.text.substr(SkipBlanks(line.text, 0) + 1), expected);
        Note(line.start, expected);
        std::string rest(m_text.substr(line.start));
        if (rest.back() != '\n') rest += '\n';
        content.keptLines += "\n" + rest;  // Wine writes a blank line before each key
    }

    void Option(const Line& line, size_t pos, RegistryKeyContent& content) {
        const std::string_view option = line.text.substr(pos);
        if (option.substr(0, 6) == "#time=") {
            std::uint64_t time = 0;
            for (size_t i = 6; i < option.size() && IsHexDigit(option[i]); ++i)
                time = (time << 4) | static_cast<std::uint64_t>(HexValue(option[i]));
            content.modified = time;
        } else if (option.substr(0, 8) == "#class=\"") {
            std::u16string name;
            size_t at = 8;
            if (ReadEscaped(option, at, '"', name) && OnlyBlanksFrom(option, at)) {
                content.className = std::move(name);
                return;
            }
            name.clear();
            at = 8;
            if (!MalformedValueReader::ReadText(option, at, '"', name))
                return Keep(line, content, "expected #class=\"...\"");  // Wine keeps the class it had
            content.className = std::move(name);
            Note(line.start, "expected the line to end after the class");
        }
        // other options are ignored, as Wine does
    }

    void Value(const Line& line, size_t pos, RegistryKeyContent& content, bool& duplicates) {
        const size_t after = m_lines.Position();
        RegistryValue value;
        if (ReadValue(line.text, pos, value)) return Add(std::move(value), content, duplicates);
        m_lines.Rewind(after);  // hex data read in part may have taken more lines
        const auto nextLine = [this](std::string_view& text) {
            Line next;
            if (!m_lines.Next(next)) return false;
            text = next.text;
            return true;
        };
        if (MalformedValueReader::Read(line.text.substr(pos), nextLine, value) == MalformedValueReader::Outcome::Skipped)
            return Keep(line, content, m_message);
        value.keptText = RawText(line.start);
        Note(line.start, m_message);
        Add(std::move(value), content, duplicates);
    }

    // Values come in name order: most go last.
    static void Add(RegistryValue value, RegistryKeyContent& content, bool& duplicates) {
        std::vector<RegistryValue>& values = content.values;
        if (values.empty() || CompareRegistryNames(values.back().name, value.name) < 0) {
            values.push_back(std::move(value));
            return;
        }
        auto it = std::lower_bound(values.begin(), values.end(), value.name, [](const RegistryValue& v, const std::u16string& n) {
            return CompareRegistryNames(v.name, n) < 0;
        });
        if (it != values.end() && RegistryNamesEqual(it->name, value.name)) {
            it->type = value.type;
            it->data = std::move(value.data);
            it->keptText = std::move(value.keptText);
            duplicates = true;
        } else {
            values.insert(it, std::move(value));
        }
    }

    // A value line laid out as Wine writes values; false, with what was expected, else.
    bool ReadValue(std::string_view line, size_t pos, RegistryValue& value) {
        if (line[pos] == '@') {
            ++pos;
        } else if (++pos; !ReadEscaped(line, pos, '"', value.name)) {
            m_message = "expected a value name closed by '\"'";
            return false;
        }
        pos = SkipBlanks(line, pos);
        if (pos >= line.size() || line[pos] != '=') {
            m_message = "expected '=' after the value name";
            return false;
        }
        pos = SkipBlanks(line, pos + 1);
        return ReadData(line, pos, value.type, value.data);
    }

    bool ReadData(std::string_view line, size_t pos, DWORD& type, std::vector<std::uint8_t>& data) {
        const std::string_view rest = line.substr(pos);
        for (const DataType& candidate : kDataTypes) {
            if (rest.substr(0, candidate.tag.size()) != candidate.tag) continue;
            pos += candidate.tag.size();
            type = candidate.type;
            switch (candidate.form) {
                case DataType::String: return ReadStringData(line, pos, data);
                case DataType::Dword: return ReadDwordData(line, pos, data);
                case DataType::HexWithType:
                    if (!ReadHexType(line, pos, type)) return false;
                    return ReadHexData(line, pos, data);
                case DataType::Hex: return ReadHexData(line, pos, data);
            }
        }
        m_message = "expected a value type: a string, str(2):, str(7):, hex:, hex(n): or dword:";
        return false;
    }

    bool ReadStringData(std::string_view line, size_t pos, std::vector<std::uint8_t>& data) {
        std::u16string text;
        if (!ReadEscaped(line, pos, '"', text) || !OnlyBlanksFrom(line, pos)) {
            m_message = "expected UTF-8 text closed by '\"' at the line's end";
            return false;
        }
        data.reserve((text.size() + 1) * 2);
        for (char16_t unit : text) AppendUnit(data, unit);
        AppendUnit(data, 0);
        return true;
    }

    bool ReadDwordData(std::string_view line, size_t pos, std::vector<std::uint8_t>& data) {
        DWORD value = 0;
        size_t digits = 0;
        for (; pos < line.size() && IsHexDigit(line[pos]); ++pos, ++digits) value = (value << 4) | HexValue(line[pos]);
        if (digits == 0 || digits > 8 || !OnlyBlanksFrom(line, pos)) {
            m_message = "expected dword: with 1 to 8 hex digits";
            return false;
        }
        data = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
        return true;
    }

    bool ReadHexType(std::string_view line, size_t& pos, DWORD& type) {
        std::uint64_t value = 0;
        size_t digits = 0;
        for (; pos < line.size() && IsHexDigit(line[pos]); ++pos, ++digits) value = (value << 4) | HexValue(line[pos]);
        if (digits == 0 || digits > 8 || line.substr(pos, 2) != "):") {
            m_message = "expected hex(n): with a type n of 1 to 8 hex digits";
            return false;
        }
        pos += 2;
        type = static_cast<DWORD>(value);
        return true;
    }

    // Comma-separated bytes; a backslash at the end of a line continues on the next.
    bool ReadHexData(std::string_view line, size_t pos, std::vector<std::uint8_t>& data) {
        for (;;) {
            pos = SkipBlanks(line, pos);
            if (pos == line.size()) return true;
            if (line[pos] == '\\' && OnlyBlanksFrom(line, pos + 1)) {
                Line next;
                if (!m_lines.Next(next)) {
                    m_message = "expected more hex data after the closing backslash";
                    return false;
                }
                line = next.text;
                pos = 0;
                continue;
            }
            if (!IsHexDigit(line[pos])) break;
            int value = HexValue(line[pos++]);
            if (pos < line.size() && IsHexDigit(line[pos])) value = (value << 4) | HexValue(line[pos++]);
            data.push_back(static_cast<std::uint8_t>(value));
            pos = SkipBlanks(line, pos);
            if (pos < line.size() && line[pos] == ',') ++pos;
            else if (pos < line.size() && line[pos] != '\\') break;
        }
        m_message = "expected hex bytes of two digits separated by commas";
        return false;
    }

    std::string_view m_text;
    size_t m_offset;
    LineReader m_lines;
    const HiveNotes* m_notes;
    std::string m_message;
};

// ---- Writing ----------------------------------------------------------------------

// Wine's dump_strW: the text escaped; returns the characters written. Wine leaves out a
// final NUL, the terminator of a string value; a name or class ending in NUL keeps it here,
// else written anew it would read back as another key or value.
size_t AppendEscaped(std::string& out, std::u16string_view text, const char escape[2]) {
    static constexpr char kEscapes[] = ".......abtnvfr.............e....";
    const size_t before = out.size();
    char buffer[16];
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool hasNext = i + 1 < text.size();
        const char16_t next = hasNext ? text[i + 1] : 0;
        if (c > 127) {
            const bool hexFollows = hasNext && next < 128 && IsHexDigit(static_cast<char>(next));
            std::snprintf(buffer, sizeof(buffer), hexFollows ? "\\x%04x" : "\\x%x", static_cast<unsigned>(c));
            out += buffer;
        } else if (c < 32) {
            if (kEscapes[c] != '.') {
                out += '\\';
                out += kEscapes[c];
            } else {
                const bool octalFollows = hasNext && next >= u'0' && next <= u'7';
                std::snprintf(buffer, sizeof(buffer), octalFollows ? "\\%03o" : "\\%o", static_cast<unsigned>(c));
                out += buffer;
            }
        } else {
            if (c == u'\\' || c == static_cast<unsigned char>(escape[0]) || c == static_cast<unsigned char>(escape[1]))
                out += '\\';
            out += static_cast<char>(c);
        }
    }
    return out.size() - before;
}

std::u16string UnitsOf(const std::vector<std::uint8_t>& data) {
    std::u16string units(data.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return units;
}

// Wine's dump_value.
void AppendValue(std::string& out, const RegistryValue& value) {
    char buffer[32];
    size_t count;
    if (!value.name.empty()) {
        out += '"';
        count = 1 + AppendEscaped(out, value.name, "\"\"");
        out += "\"=";
        count += 2;
    } else {
        out += "@=";
        count = 2;
    }
    const auto& data = value.data;
    switch (value.type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
        case REG_MULTI_SZ: {
            if (data.size() < 2 || data.size() % 2 || data[data.size() - 1] || data[data.size() - 2]) break;
            if (value.type != REG_SZ) {
                std::snprintf(buffer, sizeof(buffer), "str(%x):", static_cast<unsigned>(value.type));
                out += buffer;
            }
            out += '"';
            std::u16string text = UnitsOf(data);
            text.pop_back();  // the terminator
            AppendEscaped(out, text, "\"\"");
            out += "\"\n";
            return;
        }
        case REG_DWORD:
            if (data.size() != 4) break;
            std::snprintf(buffer, sizeof(buffer), "dword:%08x\n",
                          static_cast<unsigned>(data[0] | (data[1] << 8) | (data[2] << 16) |
                                                (static_cast<unsigned>(data[3]) << 24)));
            out += buffer;
            return;
    }
    if (value.type == REG_BINARY) {
        out += "hex:";
        count += 4;
    } else {
        const int written = std::snprintf(buffer, sizeof(buffer), "hex(%x):", static_cast<unsigned>(value.type));
        out += buffer;
        count += static_cast<size_t>(written);
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0xF];
        count += 2;
        if (i + 1 < data.size()) {
            out += ',';
            if (++count > 76) {
                out += "\\\n  ";
                count = 2;
            }
        }
    }
    out += '\n';
}

std::string EscapedPath(const RegistryKeyNode& node) {
    std::vector<const RegistryKeyNode*> chain;
    for (const RegistryKeyNode* at = &node; at->Parent(); at = at->Parent()) chain.push_back(at);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin()) path += "\\\\";
        AppendEscaped(path, (*it)->Name(), "[]");
    }
    return path;
}

// Wine writes a key with values, without subkeys, with a class, or that is a link;
// other keys appear only as part of their subkeys' paths. Lines kept need their key.
bool WineWritesKey(const RegistryKeyNode& node) {
    return !node.Values().empty() || node.SubKeys().empty() || node.ClassName() || node.isLink ||
           !node.KeptLines().empty();
}

// Gathers the pieces of a hive's text for a sink: stretches of the text read that
// follow each other go out as one, new text is collected in a buffer.
class TextAssembler {
public:
    TextAssembler(const HiveText& text, const std::function<bool(std::string_view)>& sink) : m_text(text), m_sink(sink) {}

    bool Copy(size_t offset, size_t length) {
        if (length == 0) return true;
        if (m_buffer.empty() && m_pendingLength > 0 && m_pendingOffset + m_pendingLength == offset) {
            m_pendingLength += length;
            return true;
        }
        if (!Flush()) return false;
        m_pendingOffset = offset;
        m_pendingLength = length;
        return true;
    }

    bool Add(const std::string& rendered) {
        if (rendered.empty()) return true;
        if (m_pendingLength > 0 && !Flush()) return false;
        m_buffer += rendered;
        return m_buffer.size() < kBufferSize || Flush();
    }

    // A hive's text ends with a line break.
    bool Finish() { return Flush() && (m_last == '\n' || Send("\n")); }

private:
    static constexpr size_t kBufferSize = 64 * 1024;

    bool Send(std::string_view piece) {
        if (piece.empty()) return true;
        m_last = piece.back();
        return m_sink(piece);
    }

    bool Flush() {
        for (size_t done = 0; done < m_pendingLength;) {
            const size_t length = m_text.InMemory() ? m_pendingLength : std::min(kPieceSize, m_pendingLength - done);
            if (m_text.InMemory()) {
                if (!Send(m_text.Memory().substr(m_pendingOffset, length))) return false;
            } else if (!m_text.Read(m_pendingOffset + done, length, m_piece) || !Send(m_piece)) {
                return false;
            }
            done += length;
        }
        m_pendingLength = 0;
        const bool ok = Send(m_buffer);
        m_buffer.clear();
        return ok;
    }

    const HiveText& m_text;
    const std::function<bool(std::string_view)>& m_sink;
    size_t m_pendingOffset = 0;
    size_t m_pendingLength = 0;
    std::string m_buffer;
    std::string m_piece;
    char m_last = '\n';
};

bool WriteKey(const RegistryKeyNode& node, TextAssembler& out) {
    if (!node.changed && node.textLength > 0) {
        if (!out.Copy(node.textOffset, node.textLength)) return false;
    } else if (node.changed && WineWritesKey(node)) {
        std::string lines;
        RenderWineKey(node, EscapedPath(node), lines);
        if (!out.Add(lines)) return false;
    }
    for (const RegistryKeyNode* subkey : node.SubKeys())
        if (!WriteKey(*subkey, out)) return false;
    return true;
}

}  // namespace

// The key lines of a hive read whole by OpenFile, indexed path by path as lookups ask for
// them. A lookup needs the lines of the keys on its way and below its end; each level of
// its path narrows the lines of the level above, and the lines found for a level are
// kept for the next lookup that passes there.
class WineHive::LazyIndex {
public:
    LazyIndex(const HiveText& text, RegistryKeyTree& tree, const WineHive& hive)
        : m_text(text.Memory()), m_indexer(text, tree, hive) {}

    // Adds the key line whose opening bracket is at `bracket`; key lines come in the
    // order of the text, each while it is fresh in the processor's cache. A line whose
    // path begins with two plain names goes to the list of those names, so that no
    // lookup has to look at it again for them.
    void AddLine(size_t bracket) {
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
    // After the last line.
    void Start() {
        m_indexed.assign(m_brackets.size(), false);
        m_readable.assign(m_brackets.size(), kUnknown);
        m_left = m_brackets.size();
        m_lastPair = nullptr;
    }
    size_t Lines() const { return m_brackets.size(); }

    // The header ends where the first key line that is read starts: the lines before
    // it that Wine skips stay in it.
    size_t HeaderLength(size_t length) {
        size_t line = 0;
        std::string error;
        while (line < m_brackets.size() && Skipped(line)) Index(line++, error);
        return line < m_brackets.size() ? LineStart(m_brackets[line]) - 1 : length;
    }

    bool Complete() const { return m_left == 0; }

    // Once every line is indexed: gives each key the spelling of the first line in the
    // text that names it, as a hive read whole has it, where lines indexed out of the
    // text's order named a key in another spelling first.
    void RespellKeys(RegistryKeyNode& root) {
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

    bool IndexAll(std::string& error) {
        for (size_t line = 0; line < m_brackets.size(); ++line)
            if (!m_indexed[line] && !Index(line, error)) return false;
        return true;
    }

    bool IndexPath(std::span<const std::u16string> path, std::string& error) {
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
        for (size_t known = prefixes.size(); known > 0; --known) {
            if (const auto kept = m_below.find(prefixes[known - 1]); kept != m_below.end()) {
                entries = &kept->second;
                plains.erase(plains.begin(), plains.begin() + static_cast<std::ptrdiff_t>(known));
                prefixes.erase(prefixes.begin(), prefixes.begin() + static_cast<std::ptrdiff_t>(known));
                level += known;
                break;
            }
        }
        std::vector<std::vector<Entry>> below(prefixes.size());
        ForEach(entries, [&](Entry entry) {
            for (size_t at = 0; at < prefixes.size(); ++at) {
                const Step step = Pass(entry, path[level + at], plains[at]);
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
        return IndexWanted(wanted, found, prefix, error);
    }

private:
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

    // Passes the entries' next level: those below `name` go to `below`, the lines a
    // lookup there needs now to `wanted`.
    void Filter(const std::vector<Entry>* entries, std::u16string_view name, std::string_view plain,
                std::vector<Entry>& below, std::vector<std::uint32_t>& wanted) {
        ForEach(entries, [&](Entry entry) {
            const Step step = Pass(entry, name, plain);
            if (step == Step::Below) below.push_back(entry);
            else if (step == Step::Ends || step == Step::Unsure || (step == Step::Beside && ShowsNewWowKey(entry)))
                wanted.push_back(entry.line);
        });
    }

    // The lines a lookup of the plain name `first` alone needs: all of them below it.
    void WantBelowFirst(const std::string& first, std::u16string_view name, std::vector<std::uint32_t>& wanted) {
        if (const auto singles = m_singles.find(first); singles != m_singles.end())
            wanted.insert(wanted.end(), singles->second.begin(), singles->second.end());
        const std::string start = first + "\\";
        for (auto it = m_pairs.lower_bound(start); it != m_pairs.end() && it->first.starts_with(start); ++it)
            ForEach(&it->second, [&](Entry entry) { wanted.push_back(entry.line); });
        std::vector<Entry> below;
        Filter(&m_odd, name, first, below, wanted);
        ForEach(&below, [&](Entry entry) { wanted.push_back(entry.line); });
    }

    // The lines below the plain names `first` and `second`, in the order of the text; the
    // keys on the way go to `wanted`.
    std::vector<Entry> BelowFirstTwo(const std::string& first, const std::string& second,
                                     std::span<const std::u16string> path, std::vector<std::uint32_t>& wanted) {
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

    // Indexes the wanted lines in the order of the text (a key given twice is merged in
    // that order), then keeps the lists found and marks `done` (unless empty) as a path
    // whose every line is indexed.
    bool IndexWanted(std::vector<std::uint32_t>& wanted, std::vector<std::pair<std::string, std::vector<Entry>>>& found,
                     const std::string& done, std::string& error) {
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

    // The length of the path component at `at` when it is plain (printable ASCII without
    // escapes, not Wow6432Node, not too long) and followed by a separator or, `last`, by
    // the closing bracket; 0 otherwise.
    static size_t PlainComponentLength(std::string_view path, size_t at, bool& last) {
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

    static bool IsWow6432Node(std::string_view name) {
        constexpr std::string_view kWow = "wow6432node";
        if (name.size() != kWow.size()) return false;
        for (size_t i = 0; i < name.size(); ++i)
            if ((name[i] >= 'A' && name[i] <= 'Z' ? name[i] + 32 : name[i]) != kWow[i]) return false;
        return true;
    }

    static std::string LowerCase(std::string_view text) {
        std::string lower(text);
        for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        return lower;
    }

    size_t Position(const Entry& entry) const { return m_brackets[entry.line] + entry.from; }

    // The name lower-cased when it is plain ASCII as a key path writes it unescaped; empty
    // otherwise.
    static std::string PlainLowerCase(std::u16string_view name) {
        std::string plain;
        for (char16_t c : name) {
            if (c < 0x20 || c > 0x7E || c == u'\\' || c == u'[' || c == u']') return {};
            plain += static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c);
        }
        return plain;
    }

    static std::string Utf16Bytes(std::u16string_view name) {
        std::string bytes(1, '\0');  // never the same as a plain name
        for (char16_t c : name) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        return bytes;
    }

    // Whether the line is the first to show the Wow6432Node keys its path passes through
    // (named by the text up to the last of them).
    bool ShowsNewWowKey(const Entry& entry) {
        std::string key(m_text.substr(m_brackets[entry.line] + 1, entry.wowTo - 1));
        for (char& c : key) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        return m_wowKeys.insert(std::move(key)).second;
    }

    // Passes the line's next path component when it is `name` (`plain`: its plain form,
    // if any), and a Wow6432Node component before it, where a 32-bit lookup may step.
    Step Pass(Entry& entry, std::u16string_view name, std::string_view plain) {
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

    // Whether the path component at the start of `rest` is `plain` (lower-cased ASCII),
    // read as plain bytes: Unsure where an escape, UTF-8, a control character or the end
    // of the text leaves it open. On Same, `length` is the component's with its
    // separator (not with the closing bracket after the last one).
    static Match Compare(std::string_view rest, std::string_view plain, size_t& length) {
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

    // Reads the path component at `at` into m_name as the indexer does, moving `at` past
    // its separator or to the closing bracket; false for text only indexing can judge.
    bool DecodeComponent(size_t& at) {
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

    // The start of the line whose opening bracket is at `bracket`.
    size_t LineStart(size_t bracket) const {
        while (bracket > 0 && IsBlank(m_text[bracket - 1])) --bracket;
        return bracket;
    }

    // A key line Wine skips stays with the key before it: its key's lines end at the
    // next line that is read.
    bool Index(size_t line, std::string& error) {
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

    // Whether Wine skips the key line: its path cannot be read (a line with a NUL byte
    // is not skipped but fails when indexed).
    bool Skipped(size_t line) {
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

    // A path of printable ASCII, names joined by single separators and closed by a
    // bracket: the lines of nearly every hive, told readable without decoding them.
    static bool PlainlyReadable(std::string_view path) {
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

void RenderWineKey(const RegistryKeyNode& node, const std::string& escapedPath, std::string& out) {
    char buffer[64];
    const auto modified = static_cast<std::int64_t>(node.Modified());
    std::snprintf(buffer, sizeof(buffer), "] %u\n#time=%x%08x\n",
                  static_cast<unsigned>((modified - kTicks1601To1970) / kTicksPerSecond),
                  static_cast<unsigned>(node.Modified() >> 32), static_cast<unsigned>(node.Modified()));
    out += "\n[";
    out += escapedPath;
    out += buffer;
    if (node.ClassName()) {
        out += "#class=\"";
        AppendEscaped(out, *node.ClassName(), "\"\"");
        out += "\"\n";
    }
    if (node.isLink) out += "#link\n";
    for (const RegistryValue& value : node.Values()) {
        if (value.keptText.empty()) AppendValue(out, value);
        else out += value.keptText;
    }
    out += node.KeptLines();
}

WineHive::WineHive() : m_tree(std::make_unique<RegistryKeyTree>()) { m_tree->Root().SetModified(RegistryTimeNow()); }

WineHive::~WineHive() = default;

void WineHive::Clear() {
    m_lazy.reset();
    m_tree = std::make_unique<RegistryKeyTree>();
    m_text = HiveText();
    m_arch.clear();
    m_headerLength = 0;
}

bool WineHive::OpenFile(int fd, size_t size, std::string& error) {
    Clear();
    HiveText text(fd, size);
    if (!text.Load()) {
        error = "cannot be read";
        return false;
    }
    m_text = std::move(text);
    m_lazy = std::make_unique<LazyIndex>(m_text, *m_tree, *this);
    HiveIndexer scan(m_text, *m_tree, *this);
    if (!scan.FindKeyLines(m_arch, m_headerLength, [this](size_t bracket) { m_lazy->AddLine(bracket); }, error) ||
        m_lazy->Lines() > UINT32_MAX) {
        if (error.empty()) error = "too many keys";
        Clear();
        return false;
    }
    m_lazy->Start();
    if (m_lazy->Lines() > 0) m_headerLength = m_lazy->HeaderLength(m_text.Size());
    if (m_lazy->Complete()) m_lazy.reset();
    return true;
}

bool WineHive::IndexPath(std::span<const std::u16string> path, std::string& error) {
    if (!m_lazy) return true;
    if (!m_lazy->IndexPath(path, error)) return false;
    if (m_lazy->Complete()) EndLazyIndex();
    return true;
}

bool WineHive::IndexAll(std::string& error) {
    if (!m_lazy) return true;
    if (!m_lazy->IndexAll(error)) return false;
    EndLazyIndex();
    return true;
}

void WineHive::EndLazyIndex() {
    m_lazy->RespellKeys(Root());
    m_lazy.reset();
}

bool WineHive::Parse(std::string_view text, std::string& error) { return Read(HiveText(std::string(text)), error); }

bool WineHive::ParseFile(int fd, size_t size, std::string& error) { return Read(HiveText(fd, size), error); }

bool WineHive::Read(HiveText text, std::string& error) {
    Clear();
    m_text = std::move(text);
    std::string arch;
    size_t headerLength = 0;
    HiveIndexer indexer(m_text, *m_tree, *this);
    indexer.SetNotes(Notes());
    if (!indexer.Run(arch, headerLength, error)) {
        m_tree = std::make_unique<RegistryKeyTree>();
        m_text = HiveText();
        return false;
    }
    m_headerLength = headerLength;
    m_arch = std::move(arch);
    return true;
}

bool WineHive::Decode(RegistryKeyNode& key, std::string& error) const {
    if (!key.NeedsDecoding()) return true;
    std::string lines;
    size_t offset = 0;
    if (!ReadKeyLines(m_text, key, lines, offset)) {
        error = "the key's lines can no longer be read";
        return false;
    }
    if (const size_t nul = lines.find('\0'); nul != std::string::npos) {
        error = LineError(m_text, offset + nul, "a NUL byte");
        return false;
    }
    auto content = std::make_unique<RegistryKeyContent>();
    bool duplicates = false;
    bool link = false;
    KeyDecoder(lines, offset, Notes()).Run(*content, duplicates, link);
    key.SetContent(std::move(content));
    key.isLink = link;
    key.linkUnknown = false;
    if (duplicates) key.changed = true;
    return true;
}

void WineHive::CheckLink(RegistryKeyNode& key) const {
    if (!key.linkUnknown) return;
    std::string text;
    size_t offset = 0;
    if (ReadKeyLines(m_text, key, text, offset)) {
        LineReader lines(text, 0, text.size());
        Line line;
        bool keyLineSeen = false;
        while (!key.isLink && lines.Next(line)) {
            const std::string_view option = line.text.substr(SkipBlanks(line.text, 0));
            if (option.starts_with('[') && std::exchange(keyLineSeen, true)) break;  // a line no key owns, as Wine reads it
            key.isLink = IsLinkOption(option);
        }
    }
    key.linkUnknown = false;
}

bool WineHive::DecodeAll(std::string& error) {
    if (!IndexAll(error)) return false;
    std::vector<RegistryKeyNode*> pending{&Root()};
    while (!pending.empty()) {
        RegistryKeyNode* key = pending.back();
        pending.pop_back();
        if (!Decode(*key, error)) return false;
        pending.insert(pending.end(), key->SubKeys().begin(), key->SubKeys().end());
    }
    return true;
}

void WineHive::DecodeEveryKey(const std::function<void(const std::string&)>& tell) {
    std::string error;
    if (!IndexAll(error)) tell(error);
    std::vector<RegistryKeyNode*> pending{&Root()};
    while (!pending.empty()) {
        RegistryKeyNode* key = pending.back();
        pending.pop_back();
        if (!Decode(*key, error)) tell(error);
        pending.insert(pending.end(), key->SubKeys().begin(), key->SubKeys().end());
    }
}

void WineHive::TellSkippedLines(std::function<void(const std::string&)> tell) {
    if (!tell) {
        m_notes = nullptr;
        return;
    }
    m_notes = std::make_unique<HiveNotes>([this, tell = std::move(tell)](size_t offset, const std::string& expected) {
        tell(LineError(m_text, offset, expected));
    });
}

const WineHive::NoteSink* WineHive::Notes() const { return m_notes.get(); }

void WineHive::SetNewHeader(const std::string& branch, const std::string& arch) {
    std::string header = std::string(kHeader) + "\n;; All keys relative to " + branch + "\n";
    if (!arch.empty()) header += "\n#arch=" + arch + "\n";
    m_headerLength = header.size();
    m_text = HiveText(std::move(header));
    m_arch = arch;
}

bool WineHive::Write(const std::function<bool(std::string_view)>& sink) const {
    if (m_lazy) return false;  // keys not indexed would be lost
    TextAssembler out(m_text, sink);
    return out.Copy(0, m_headerLength) && WriteKey(m_tree->Root(), out) && out.Finish();
}

std::string WineHive::Render() const {
    std::string text;
    text.reserve(m_text.Size() + 4096);
    Write([&](std::string_view piece) {
        text += piece;
        return true;
    });
    return text;
}

}  // namespace mailwright
