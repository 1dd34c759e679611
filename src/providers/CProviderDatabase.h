#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "providers/CProvider.h"
#include "support/CRefCountPtr.h"
#include "support/VeskFsPathT.h"

namespace mailwright {

class VeskMemoryArchive;

// The provider database: the records of providers.lst in file order. It is loaded
// for one lookup and dropped again, so a newly downloaded file is used next time.
class CProviderDatabase {
public:
    CProviderDatabase() = default;
    CProviderDatabase(const CProviderDatabase&) = default;
    CProviderDatabase(CProviderDatabase&&) = default;
    CProviderDatabase& operator=(const CProviderDatabase&) = default;
    CProviderDatabase& operator=(CProviderDatabase&&) = default;
    virtual ~CProviderDatabase() = default;

    // Loads providers.lst from the application folder. False when the file cannot be
    // read or is empty; true otherwise, whatever it holds.
    bool Load();

    // Replaces the content by the records read from the archive's cursor on. Damage is
    // not an error: reading keeps what it got and later fields keep defaults. False when
    // the read ended before the records that the count promised.
    bool Read(VeskMemoryArchive& archive);

    // Appends the version, the record count and every record.
    void Write(VeskMemoryArchive& archive) const;

    // Writes the database as a whole file, atomically; false when it could not be written.
    bool WriteToFile(const std::string& path) const;

    void Clear();

    // The first provider that lists the domain, or an empty pointer.
    CRefCountPtr<CProvider> FindByDomain(const std::string& domain) const;

    // Strict check of a whole database image, for replacing providers.lst only by a
    // complete one: every item well formed and of its width, the stream used to its
    // exact end, every record tagged, in layout 1 or 2 and with a domain, a non-zero
    // version and at least one provider with a non-empty domain.
    static bool IsCompleteDatabase(const void* data, std::size_t size);

    // What may replace providers.lst: a complete database whose every record holds
    // possible values (FindImpossibleValue finds none).
    static bool IsAcceptableDatabase(const void* data, std::size_t size);

    // The database file: providers.lst in the application folder (or the bare file
    // name when the folder cannot be found).
    static VeskFsPath GetDatabasePath();

    // Writes the embedded default database to the database file. A failure is not
    // reported: the next Load fails instead.
    static void ExtractDefaultDatabase();

    // What start-up does: writes the default database when the file is missing (only
    // then; a damaged file is left for Load to refuse).
    static void EnsureDatabaseFile();

    std::int32_t GetVersion() const { return m_version; }
    void SetVersion(std::int32_t version) { m_version = version; }
    const std::vector<CRefCountPtr<CProvider>>& GetProviders() const { return m_providers; }
    void Add(CRefCountPtr<CProvider> provider) { m_providers.push_back(std::move(provider)); }

private:
    std::int32_t m_version = 0;  // as read; 0 for an empty database
    std::vector<CRefCountPtr<CProvider>> m_providers;
};

}  // namespace mailwright
