// The address check of the main dialog and the creation flow's domain rule over any
// text: a valid address has one "@", a dot in its domain and none of the forbidden
// characters, counted in bytes; the lookup finds at most the provider of a tail of the
// domain part.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "account/EmailAddressParts.h"
#include "account/VeskEmailAddress.h"
#include "creation/ProviderLookup.h"
#include "providers/CProviderDatabase.h"
#include "support/EmbeddedResource.h"
#include "support/StringTable.h"
#include "support/VeskMemoryArchive.h"

using namespace mailwright;

namespace {

void CheckValidAddress(const std::string& text) {
    const std::size_t at = text.find('@');
    const std::size_t lastDot = text.rfind('.');
    FUZZ_CHECK(at != std::string::npos && at != 0);
    FUZZ_CHECK(text.find('@', at + 1) == std::string::npos);
    FUZZ_CHECK(lastDot != std::string::npos && lastDot >= at + 2 && lastDot != text.size() - 1);
    FUZZ_CHECK(text.find_first_of(VeskEmailAddress::ForbiddenCharacters) == std::string::npos);
    FUZZ_CHECK(text.find('\0') == std::string::npos);
}

// The default database. A lookup may change the servers of the copy it finds; no
// check here reads them.
CProviderDatabase ReadDefaultDatabase() {
    CProviderDatabase database;
    const auto resource = FindEmbeddedResource("BIN", IDR_DEFAULT_DATABASE);
    FUZZ_CHECK(resource && !resource->empty());
    VeskMemoryArchive archive;
    archive.Assign(resource->data(), resource->size());
    database.Read(archive);
    return database;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const VeskEmailAddress address(text);
    if (address.IsValid()) CheckValidAddress(address);

    const std::string domain = LookupDomainOf(text);
    FUZZ_CHECK(SplitEmailAddress(text).domain.ends_with(domain));
    static const CProviderDatabase database = ReadDefaultDatabase();
    if (const CRefCountPtr<CProvider> provider = FindProviderOf(database, text))
        FUZZ_CHECK(provider->MatchesDomain(domain));
    return 0;
}
