// providers.lst as the program reads it: any bytes, through the tolerant reader that
// account creation uses and the strict checks that guard the update.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "providers/CProviderDatabase.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    VeskMemoryArchive archive;
    archive.Assign(data, size);
    CProviderDatabase database;
    database.Read(archive);
    bool possible = true;
    for (const CRefCountPtr<CProvider>& provider : database.GetProviders()) {
        provider->MatchesDomain("example.com");
        possible = possible && !FindImpossibleValue(*provider);
    }
    database.FindByDomain(" Example.COM ");

    const bool complete = CProviderDatabase::IsCompleteDatabase(data, size);
    const bool acceptable = CProviderDatabase::IsAcceptableDatabase(data, size);
    FUZZ_CHECK(acceptable == (complete && possible));
    if (!complete) return 0;
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
    FUZZ_CHECK(std::equal(written.GetData(), written.GetData() + written.GetLength(), rewritten.GetData()));
    return 0;
}
