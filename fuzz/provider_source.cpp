// The provider source compiler over any text: a source either fails with a syntax error
// or compiles into a database that an update would accept and whose source text reads
// back to the same file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "providers/CProviderSource.h"
#include "support/VeskMemoryArchive.h"

using namespace mailwright;

namespace {

std::string Compiled(const CProviderDatabase& database) {
    VeskMemoryArchive archive;
    database.Write(archive);
    return std::string(reinterpret_cast<const char*>(archive.GetData()), archive.GetLength());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CProviderDatabase database;
    try {
        database = CProviderSource::Parse(text, "fuzz.toml");
    } catch (const CProviderSource::SyntaxError&) {
        return 0;
    }
    const std::string bytes = Compiled(database);
    FUZZ_CHECK(CProviderDatabase::IsAcceptableDatabase(bytes.data(), bytes.size()));
    const std::string source = CProviderSource::Format(database);
    FUZZ_CHECK(Compiled(CProviderSource::Parse(source, "formatted.toml")) == bytes);
    return 0;
}
