// A hive's text and its keys tied together: reading goes to the indexer (the whole
// text) or the path index (a file read whole, key lines indexed as lookups need them),
// decoding a key to the key decoder, writing to the hive writer. hive/ holds each of them.
#include "registry/WineHive.h"

#include <utility>
#include <vector>

#include "registry/hive/HiveCharacters.h"
#include "registry/hive/HiveIndexer.h"
#include "registry/hive/HiveKeyLine.h"
#include "registry/hive/HiveLines.h"
#include "registry/hive/HivePathIndex.h"
#include "registry/hive/HiveWriter.h"
#include "registry/hive/KeyDecoder.h"
#include "registry/hive/TextAssembler.h"

namespace mailwright {

using namespace hive;

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
    m_lazy = std::make_unique<hive::HivePathIndex>(m_text, *m_tree, *this);
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
