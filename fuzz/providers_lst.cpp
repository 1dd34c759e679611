// providers.lst as the program reads it: any bytes, through the tolerant reader that
// account creation uses and the strict checks that guard the update. What the update
// accepts is what the maker's source compiler accepts of the same records, and holds no
// value that a record may never hold.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "FuzzCheck.h"
#include "providers/CProviderDatabase.h"
#include "providers/CProviderSource.h"
#include "providers/ProviderValues.h"
#include "support/VeskMemoryArchive.h"

using namespace mailwright;

namespace {

// The record count of a complete database: its second value item.
std::int32_t DeclaredCount(const std::uint8_t* data) {
    std::uint32_t count = 0;
    for (int i = 0; i < 4; ++i) count |= std::uint32_t{data[12 + i]} << (8 * i);
    return static_cast<std::int32_t>(count);
}


// A rule of its own, not the update's: a text shown or used as a host name is never empty
// and holds no control character or blank, and a port is one a server can listen on.
bool IsPlainText(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return false;
    return true;
}

bool HoldsOnlyPossibleValues(const CProvider& p) {
    bool possible = IsPlainText(p.m_pop3Server) && IsPlainText(p.m_smtpServer);
    for (const std::string& domain : p.m_domains) possible = possible && IsPlainText(domain);
    for (std::int32_t port : {p.m_pop3Port, p.m_smtpPort}) possible = possible && port >= 1 && port <= 65535;
    return possible;
}

// The records written out as provider source and compiled again, or nothing when the
// compiler refuses them. The source holds versions from 1 on, so version 1 stands in.
std::optional<CProviderDatabase> CompiledFromSource(const CProviderDatabase& database) {
    CProviderDatabase records = database;
    records.SetVersion(1);
    try {
        return CProviderSource::Parse(CProviderSource::Format(records), "providers.toml");
    } catch (const CProviderSource::SyntaxError&) {
        return std::nullopt;
    }
}

bool SameBytes(const VeskMemoryArchive& a, const VeskMemoryArchive& b) {
    return a.GetLength() == b.GetLength() && std::equal(a.GetData(), a.GetData() + a.GetLength(), b.GetData());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    VeskMemoryArchive archive;
    archive.Assign(data, size);
    CProviderDatabase database;
    database.Read(archive);
    for (const CRefCountPtr<CProvider>& provider : database.GetProviders()) provider->MatchesDomain("example.com");
    database.FindByDomain(" Example.COM ");

    const bool complete = CProviderDatabase::IsCompleteDatabase(data, size);
    const bool acceptable = CProviderDatabase::IsAcceptableDatabase(data, size);
    if (!complete) {
        FUZZ_CHECK(!acceptable);
        return 0;
    }
    // A complete database is read to its end, one provider for every record.
    FUZZ_CHECK(archive.AtEnd());
    FUZZ_CHECK(database.GetProviders().size() == static_cast<std::size_t>(DeclaredCount(data)));
    // What the program writes of it reads back to the same records.
    VeskMemoryArchive written;
    database.Write(written);
    written.SetCursor(0);
    CProviderDatabase again;
    again.Read(written);
    FUZZ_CHECK(written.AtEnd());
    VeskMemoryArchive rewritten;
    again.Write(rewritten);
    FUZZ_CHECK(rewritten.GetLength() == written.GetLength());
    FUZZ_CHECK(SameBytes(written, rewritten));
    // The update takes exactly the databases whose records the source compiler takes.
    const std::optional<CProviderDatabase> compiled = CompiledFromSource(database);
    FUZZ_CHECK(acceptable == compiled.has_value());
    if (!acceptable) return 0;
    for (const CRefCountPtr<CProvider>& provider : database.GetProviders()) FUZZ_CHECK(HoldsOnlyPossibleValues(*provider));
    VeskMemoryArchive fromSource, asRead;
    compiled->Write(fromSource);
    CProviderDatabase records = database;
    records.SetVersion(1);
    records.Write(asRead);
    FUZZ_CHECK(SameBytes(fromSource, asRead));
    return 0;
}
