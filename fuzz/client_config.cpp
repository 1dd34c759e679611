// The clientConfig (autoconfig XML) reader over any bytes, and the importer after it: an
// unusable file says why and holds nothing; the records imported from a usable file take
// its ports and domains, and the provider source that "providers import" prints of them
// compiles, as "providers compile" does, to a database that the update accepts and that
// reads back to the same records.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "providers/CClientConfig.h"
#include "providers/CClientConfigImporter.h"
#include "providers/CProviderDatabase.h"
#include "providers/CProviderSource.h"
#include "support/VeskMemoryArchive.h"

using namespace mailwright;

namespace {

bool SameRecord(const CProvider& a, const CProvider& b) {
    return a.m_layout == b.m_layout && a.m_name == b.m_name && a.m_pop3Server == b.m_pop3Server &&
           a.m_smtpServer == b.m_smtpServer && a.m_altComment == b.m_altComment && a.m_comment == b.m_comment &&
           a.m_altInfoUrl == b.m_altInfoUrl && a.m_infoUrl == b.m_infoUrl &&
           a.m_altUserNamePrompt == b.m_altUserNamePrompt && a.m_userNamePrompt == b.m_userNamePrompt &&
           a.m_smtpAuth == b.m_smtpAuth && a.m_pop3Ssl == b.m_pop3Ssl && a.m_smtpSsl == b.m_smtpSsl &&
           a.m_askUserName == b.m_askUserName && a.m_userNameIsEmail == b.m_userNameIsEmail &&
           a.m_smtpPort == b.m_smtpPort && a.m_pop3Port == b.m_pop3Port && a.m_domains == b.m_domains;
}

// One record per domain or one for all: either way every domain of the file, in order.
void CheckTakesTheFilesPortsAndDomains(const CClientConfig& config, const std::vector<CRefCountPtr<CProvider>>& records) {
    std::vector<std::string> domains;
    for (const CRefCountPtr<CProvider>& record : records) {
        FUZZ_CHECK(record->m_pop3Port == config.GetPop3()->port);
        FUZZ_CHECK(record->m_smtpPort == config.GetSmtp()->port);
        domains.insert(domains.end(), record->m_domains.begin(), record->m_domains.end());
    }
    FUZZ_CHECK(domains == config.GetDomains());
}

// The records printed as provider source and compiled again, as the maker's tools do.
CProviderDatabase Compiled(const std::vector<CRefCountPtr<CProvider>>& records) {
    CProviderDatabase imported;
    imported.SetVersion(1);
    for (const CRefCountPtr<CProvider>& record : records) imported.Add(record);
    try {
        return CProviderSource::Parse(CProviderSource::Format(imported), "imported.toml");
    } catch (const CProviderSource::SyntaxError& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    const bool printedSourceCompiles = false;
    FUZZ_CHECK(printedSourceCompiles);
    return {};
}

void CheckCompilesToTheSameRecords(const std::vector<CRefCountPtr<CProvider>>& records) {
    VeskMemoryArchive archive;
    Compiled(records).Write(archive);
    FUZZ_CHECK(CProviderDatabase::IsAcceptableDatabase(archive.GetData(), archive.GetLength()));
    archive.SetCursor(0);
    CProviderDatabase readBack;
    readBack.Read(archive);
    const auto& got = readBack.GetProviders();
    FUZZ_CHECK(got.size() == records.size());
    for (std::size_t i = 0; i < got.size(); ++i) FUZZ_CHECK(SameRecord(*got[i], *records[i]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CClientConfig config = CClientConfig::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!config.IsUsable()) {
        FUZZ_CHECK(config.GetDomains().empty() && !config.GetPop3() && !config.GetSmtp());
        FUZZ_CHECK(config.GetProblem().find('\n') == std::string::npos);
    } else {
        FUZZ_CHECK(!config.GetDomains().empty());
    }
    const CClientConfigImporter::Result result = CClientConfigImporter::Import(config);
    FUZZ_CHECK(result.records.empty() != result.problem.empty());
    if (result.records.empty()) return 0;
    CheckTakesTheFilesPortsAndDomains(config, result.records);
    CheckCompilesToTheSameRecords(result.records);
    return 0;
}
