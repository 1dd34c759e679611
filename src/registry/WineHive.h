#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "registry/HiveText.h"
#include "registry/RegistryKeyNode.h"
#include "registry/RegistryKeyTree.h"

namespace mailwright {

// The keys of one of Wine's registry files (user.reg, system.reg) and the text they were
// read from. Reading indexes the key lines only; a key's values, class and time are
// decoded from its lines when it is first used, so a big hive costs little more than
// reading its file. Writing gives Wine's own text: keys that did not change keep their
// lines as read, changed keys are written the way Wine writes them, so a hive read and
// written without a change is the same file.
class WineHive {
public:
    WineHive();
    ~WineHive();
    WineHive(const WineHive&) = delete;
    WineHive& operator=(const WineHive&) = delete;

    // Reads hive text: its header and every key line. Text that is not laid out as
    // Wine's format fails, with `error` naming the line and what was wrong; the hive is
    // then empty. Damage inside a key's values shows when the key is decoded.
    bool Parse(std::string_view text, std::string& error);
    // The same for an open hive file of `size` bytes: the hive takes the descriptor and
    // reads its keys' lines from the file when they are needed.
    bool ParseFile(int fd, size_t size, std::string& error);
    // Reads an open hive file of `size` bytes whole, its header and where its key lines
    // are, and indexes no key yet: IndexPath indexes the keys a lookup needs, IndexAll
    // the rest. A key line that is not laid out as Wine's fails when it is indexed.
    bool OpenFile(int fd, size_t size, std::string& error);
    // Indexes the keys of every key line whose path leads to `path`, is `path` or lies
    // below it, a Wow6432Node level in a line's path counting as passed through (where a
    // 32-bit lookup may step aside). False, with the line and what was wrong, at a
    // damaged key line; the keys indexed until then stay.
    bool IndexPath(std::span<const std::u16string> path, std::string& error);
    bool IndexAll(std::string& error);
    // Whether every key line is indexed (always so for a hive read by Parse or ParseFile).
    bool FullyIndexed() const { return !m_lazy; }

    // Decodes a key read from the text (nothing to do for others); false, with the line
    // and what was wrong, when its lines cannot be read (a NUL byte, a file changed in
    // place). A line Wine reads only in part or skips is read as Wine reads it and kept.
    // The key then stays undecoded.
    bool Decode(RegistryKeyNode& key, std::string& error) const;
    // Decodes every key; false at the first damaged one. The hive must be fully indexed.
    bool DecodeAll(std::string& error);
    // Decodes every key, telling each one that cannot be decoded ("line N: ...").
    void DecodeEveryKey(const std::function<void(const std::string&)>& tell);
    // Finds whether a key read from the text is a link (its #link line) without decoding it.
    void CheckLink(RegistryKeyNode& key) const;

    // From now on tells each line that reading or decoding skips or reads only in part,
    // as "line N: expected ...", once per reading; null: tells nothing.
    void TellSkippedLines(std::function<void(const std::string&)> tell);

    // The header that a hive read from no text is written with: the branch it holds
    // (as Wine names it, e.g. REGISTRY\Machine) and the prefix's architecture.
    void SetNewHeader(const std::string& branch, const std::string& arch);

    RegistryKeyNode& Root() { return m_tree->Root(); }
    // "win32", "win64", or empty when the hive does not say.
    const std::string& Arch() const { return m_arch; }
    bool HasText() const { return !m_text.Empty(); }
    // Whether the file the hive was read from is as it was (see HiveText::Unchanged).
    bool TextUnchanged() const { return m_text.Unchanged(); }

    // Hands the hive's text with every change to `sink`, piece by piece (large unchanged
    // stretches straight from the text read); false as soon as the sink fails, and for a
    // hive not fully indexed.
    bool Write(const std::function<bool(std::string_view)>& sink) const;
    // The whole text at once.
    std::string Render() const;

private:
    class LazyIndex;
    // Told a line's offset in the text and what was expected there.
    using NoteSink = std::function<void(size_t offset, const std::string& expected)>;

    bool Read(HiveText text, std::string& error);
    void Clear();
    void EndLazyIndex();
    const NoteSink* Notes() const;

    HiveText m_text;
    size_t m_headerLength = 0;
    std::string m_arch;
    std::unique_ptr<RegistryKeyTree> m_tree;
    std::unique_ptr<LazyIndex> m_lazy;  // while some key lines are not indexed
    std::unique_ptr<NoteSink> m_notes;  // for TellSkippedLines
};

// Writes one key's lines as Wine does (a blank line, the key line, #time, #class, #link,
// the values); the key's path is given as Wine writes it.
void RenderWineKey(const RegistryKeyNode& node, const std::string& escapedPath, std::string& out);

}  // namespace mailwright
