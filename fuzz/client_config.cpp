// The clientConfig (autoconfig XML) reader over any bytes, and the importer after it: a
// file is usable or says why not, and every record imported from it holds values that
// the provider source compiler and the update accept.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "providers/CClientConfig.h"
#include "providers/CClientConfigImporter.h"
#include "providers/ProviderValues.h"

using namespace mailwright;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CClientConfig config = CClientConfig::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    FUZZ_CHECK(config.IsUsable() == config.GetProblem().empty());
    if (!config.IsUsable()) {
        FUZZ_CHECK(config.GetDomains().empty() && !config.GetPop3() && !config.GetSmtp());
        FUZZ_CHECK(config.GetProblem().find('\n') == std::string::npos);
    } else {
        FUZZ_CHECK(!config.GetDomains().empty());
    }
    const CClientConfigImporter::Result result = CClientConfigImporter::Import(config);
    FUZZ_CHECK(result.records.empty() != result.problem.empty());
    for (const CRefCountPtr<CProvider>& record : result.records) FUZZ_CHECK(!FindImpossibleValue(*record));
    return 0;
}
