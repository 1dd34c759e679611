#include "providers/CProviderDatabase.h"

#include <algorithm>
#include <cstring>

#include "providers/ProviderValues.h"
#include "support/EmbeddedResource.h"
#include "support/StringTable.h"
#include "support/VeskFileWrite.h"
#include "support/VeskMemoryArchive.h"

namespace mailwright {
namespace {

// Reads a database image item by item and fails at the first item that is not
// exactly what a writer of the format puts there.
class StrictReader {
public:
    StrictReader(const void* data, std::size_t size)
        : m_p(static_cast<const std::uint8_t*>(data)), m_left(data ? size : 0) {}

    bool Int32(std::int32_t& value) {
        std::int32_t width = 0;
        return Raw(width) && width == 4 && Raw(value);
    }

    bool Flag() {
        std::int32_t width = 0;
        return Raw(width) && width == 1 && Skip(1);
    }

    // A string item; true for the empty string too.
    bool String(bool* nonEmpty = nullptr) {
        std::uint8_t flag = 0;
        std::int32_t length = 0;
        if (!Raw(flag) || flag != 0x01 || !Raw(length) || length < 0) return false;
        if (nonEmpty) *nonEmpty = length > 0;
        return Skip(static_cast<std::size_t>(length));
    }

    bool AtEnd() const { return m_left == 0; }

private:
    template <class T>
    bool Raw(T& value) {
        if (m_left < sizeof(T)) return false;
        std::uint8_t bytes[sizeof(T)];
        std::memcpy(bytes, m_p, sizeof(T));
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) v |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
        value = static_cast<T>(v);
        return Skip(sizeof(T));
    }

    bool Skip(std::size_t n) {
        if (m_left < n) return false;
        m_p += n;
        m_left -= n;
        return true;
    }

    const std::uint8_t* m_p;
    std::size_t m_left;
};

// One record, tag included; sets `hasDomain` when it lists a non-empty domain.
bool IsCompleteRecord(StrictReader& in, bool& hasDomain) {
    std::int32_t tag = 0, layout = 0, value = 0, domainCount = 0;
    if (!in.Int32(tag) || tag != ProviderRecordTag) return false;
    if (!in.Int32(layout) || (layout != 1 && layout != 2)) return false;
    const int texts = layout == 2 ? 7 : 5;  // name, servers, comment and link copies
    for (int i = 0; i < texts; ++i)
        if (!in.String()) return false;
    for (int i = 0; i < 5; ++i)  // authentication, both SSL flags, both ports
        if (!in.Int32(value)) return false;
    if (!in.Int32(domainCount) || domainCount < 1) return false;
    for (std::int32_t i = 0; i < domainCount; ++i) {
        bool nonEmpty = false;
        if (!in.String(&nonEmpty)) return false;
        hasDomain = hasDomain || nonEmpty;
    }
    if (!in.Flag() || !in.Int32(value)) return false;
    const int prompts = layout == 2 ? 2 : 1;
    for (int i = 0; i < prompts; ++i)
        if (!in.String()) return false;
    return true;
}

}  // namespace

bool CProviderDatabase::Load() {
    VeskMemoryArchive archive;
    if (!archive.LoadFromFile(GetDatabasePath().Str())) return false;
    Read(archive);
    return true;
}

bool CProviderDatabase::Read(VeskMemoryArchive& archive) {
    Clear();
    std::int32_t version = 0;
    archive.ReadValueItem(version);
    if (version == 0) return true;
    m_version = version;
    std::int32_t count = 0;
    archive.ReadValueItem(count);
    // A damaged, huge record count must not keep the reader going: a pass that consumes
    // nothing (at the end, or before a few bytes too short for an item) would consume
    // nothing again.
    for (std::int32_t i = 0; i < count; ++i) {
        const std::size_t before = archive.GetCursor();
        std::int32_t tag = 0;
        archive.ReadValueItem(tag);
        if (archive.GetCursor() == before) return false;
        if (tag != ProviderRecordTag) continue;
        CRefCountPtr<CProvider> provider(new CProvider);
        provider->ReadRecord(archive);
        m_providers.push_back(std::move(provider));
    }
    return true;
}

void CProviderDatabase::Write(VeskMemoryArchive& archive) const {
    archive.WriteValueItem(m_version);
    archive.WriteValueItem(static_cast<std::int32_t>(m_providers.size()));
    for (const CRefCountPtr<CProvider>& provider : m_providers) provider->WriteRecord(archive);
}

bool CProviderDatabase::WriteToFile(const std::string& path) const {
    VeskMemoryArchive archive;
    Write(archive);
    VeskFileWrite file(path, FILE_SHARE_READ);
    if (!file.IsOpen()) return false;  // keeps the open's error for the caller
    const bool written = file.Write(archive.GetData(), archive.GetLength());
    return file.Close() && written;
}

void CProviderDatabase::Clear() {
    m_providers.clear();
    m_version = 0;
}

CRefCountPtr<CProvider> CProviderDatabase::FindByDomain(const std::string& domain) const {
    for (const CRefCountPtr<CProvider>& provider : m_providers) {
        if (provider->MatchesDomain(domain)) return provider;
    }
    return {};
}

bool CProviderDatabase::IsCompleteDatabase(const void* data, std::size_t size) {
    StrictReader in(data, size);
    std::int32_t version = 0, count = 0;
    if (!in.Int32(version) || version == 0 || !in.Int32(count) || count < 1) return false;
    bool hasDomain = false;
    for (std::int32_t i = 0; i < count; ++i)
        if (!IsCompleteRecord(in, hasDomain)) return false;
    return in.AtEnd() && hasDomain;
}

bool CProviderDatabase::IsAcceptableDatabase(const void* data, std::size_t size) {
    if (!IsCompleteDatabase(data, size)) return false;
    VeskMemoryArchive archive;
    archive.Assign(data, size);
    CProviderDatabase database;
    database.Read(archive);
    return std::none_of(database.m_providers.begin(), database.m_providers.end(),
                        [](const CRefCountPtr<CProvider>& p) { return FindImpossibleValue(*p).has_value(); });
}

VeskFsPath CProviderDatabase::GetDatabasePath() {
    return GetApplicationFolder().Combine(LoadString(IDS_DATABASE_FILE));
}

void CProviderDatabase::ExtractDefaultDatabase() {
    const auto resource = FindEmbeddedResource("BIN", IDR_DEFAULT_DATABASE);
    if (!resource || resource->empty()) return;
    VeskFileWrite file(GetDatabasePath().Str(), FILE_SHARE_READ);
    file.Write(resource->data(), resource->size());
    file.Close();
}

void CProviderDatabase::EnsureDatabaseFile() {
    if (!PathExists(GetDatabasePath())) ExtractDefaultDatabase();
}

}  // namespace mailwright
