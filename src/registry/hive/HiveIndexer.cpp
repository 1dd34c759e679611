// The one pass over a hive's text: the header line by line, then only the key lines,
// each closing the stretch of the key before it; a key given twice is merged as Wine does.
#include "registry/hive/HiveIndexer.h"

#include <cstring>
#include <optional>

#include "registry/WineHive.h"

namespace mailwright::hive {

HiveIndexer::HiveIndexer(const HiveText& text, RegistryKeyTree& tree, const WineHive& hive)  : m_text(text), m_tree(tree), m_hive(hive) {}

bool HiveIndexer::Run(std::string& arch, size_t& headerLength, std::string& error) {
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

bool HiveIndexer::OtherSpellings() const { return m_otherSpellings; }

bool HiveIndexer::IndexKeyLine(size_t start, size_t end, std::string& error) {
    const KeyLineRead read = KeyLine(m_text.Memory(), 0, start);
    if (read == KeyLineRead::Failed) error = LineError(m_text, start, m_message);
    const bool closed = read != KeyLineRead::Failed && CloseBlock(end, error);
    m_key = nullptr;
    return closed;
}

void HiveIndexer::SetNotes(const HiveNotes* notes) { m_notes = notes; }

size_t HiveIndexer::ReadHeader(std::string_view piece, size_t offset, std::string& arch) {
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

size_t HiveIndexer::Fail(size_t offset, const char* what) {
    m_errorOffset = offset;
    m_message = what;
    return kFailed;
}

size_t HiveIndexer::FindKeyLine(std::string_view piece, size_t from) {
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

size_t HiveIndexer::NextKeyLine(std::string_view piece, size_t keyLine) {
    const void* end = std::memchr(piece.data() + keyLine, '\n', piece.size() - keyLine);
    if (!end) return std::string_view::npos;
    return FindKeyLine(piece, static_cast<size_t>(static_cast<const char*>(end) - piece.data()) + 1);
}

HiveIndexer::KeyLineRead HiveIndexer::KeyLine(std::string_view piece, size_t offset, size_t start) {
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

bool HiveIndexer::CloseBlock(size_t end, std::string& error) {
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

RegistryKeyNode* HiveIndexer::FindOrAddKey(std::string_view line, size_t& pos) {
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

RegistryKeyNode* HiveIndexer::LastOrFound(const RegistryKeyNode& node, std::u16string_view name) {
    const auto& subkeys = node.SubKeys();
    if (subkeys.empty()) return nullptr;
    const int order = CompareRegistryNames(subkeys.back()->Name(), name);
    if (order < 0) return nullptr;
    if (order == 0) return subkeys.back();
    return node.FindSubKey(name);
}

}  // namespace mailwright::hive
