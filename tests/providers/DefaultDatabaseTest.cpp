// The embedded default database and its source, data/providers.toml.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "creation/SubdomainHostDomain.h"
#include "providers/CProviderDatabase.h"
#include "providers/CProviderSource.h"
#include "providers/SourceReference.h"
#include "support/EmbeddedResource.h"
#include "support/VeskMemoryArchive.h"
#include "testlib/TempFolder.h"
#include "StreamBytes.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {

Bytes Embedded() {
    const auto resource = FindEmbeddedResource("BIN", IDR_DEFAULT_DATABASE);
    if (!resource) return {};
    return Bytes(resource->begin(), resource->end());
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const CProviderSource::Document& Document() {
    static const CProviderSource::Document document =
        CProviderSource::Read(ReadText(MW_SOURCE_DIR "/data/providers.toml"), "data/providers.toml");
    return document;
}

const CProviderDatabase& Source() { return Document().database; }

// The domains that each cited ISP database file lists, by the reference the data cites:
// tests/data/ispdb-domains.txt, made by scripts/ispdb-domains.
std::map<std::string, std::set<std::string>> IspDatabaseDomains() {
    std::map<std::string, std::set<std::string>> files;
    std::istringstream lines(ReadText(MW_TEST_DATA_DIR "/ispdb-domains.txt"));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string reference, domain;
        words >> reference;
        while (words >> domain) files[reference].insert(domain);
    }
    return files;
}

}  // namespace

TEST(DefaultDatabase, LoadsToTheEndOfTheStream) {
    const Bytes bytes = Embedded();
    ASSERT_FALSE(bytes.empty());
    EXPECT_TRUE(CProviderDatabase::IsCompleteDatabase(bytes.data(), bytes.size()));
    EXPECT_TRUE(CProviderDatabase::IsAcceptableDatabase(bytes.data(), bytes.size())) << "an update could not deliver it";
    VeskMemoryArchive archive;
    archive.Assign(bytes.data(), bytes.size());
    CProviderDatabase db;
    db.Read(archive);
    EXPECT_TRUE(archive.AtEnd());
    EXPECT_EQ(db.GetVersion(), 1);
    EXPECT_GE(db.GetProviders().size(), 100u);
    for (const auto& p : db.GetProviders()) EXPECT_EQ(p->m_layout, 2) << p->m_name;
    ASSERT_TRUE(db.FindByDomain(SubdomainHostDomain));
    ASSERT_TRUE(db.FindByDomain(" GMAIL.com "));
    EXPECT_EQ(db.FindByDomain("gmail.com")->m_pop3Server, "pop.gmail.com");
    EXPECT_FALSE(db.FindByDomain("mail.gmail.com"));
}

TEST(DefaultDatabase, IsTheCompiledSource) {
    VeskMemoryArchive archive;
    Source().Write(archive);
    EXPECT_EQ(Bytes(archive.GetData(), archive.GetData() + archive.GetLength()), Embedded());
}

// The check above cannot catch a fault of the writer, which made both sides; these bytes
// are spelled out from data/providers.toml by hand.
TEST(DefaultDatabase, HoldsRecordsSpelledOutByHand) {
    const Bytes none = Text("");
    const struct {
        const char* name;
        Bytes record;
    } cases[] = {
        {"@nifty",
         Join({Value(50), Value(2), Text("@nifty"), Text("pop.nifty.com"), Text("smtp.nifty.com"), none, none, none,
               none, Value(1), Value(0), Value(0), Value(587), Value(110), Value(1), Text("nifty.com"), Flag(false),
               Value(0), none, none})},
        {"OCN",
         Join({Value(50), Value(2), Text("OCN"), Text("pop.ocn.ne.jp"), Text("smtp.ocn.ne.jp"), none, none, none, none,
               Value(1), Value(1), Value(1), Value(465), Value(995), Value(2), Text("ocn.ne.jp"), Text("ocn.ad.jp"),
               Flag(true), Value(0), none, none})},
        {"Yahoo! JAPAN Mail",
         Join({Value(50), Value(2), Text("Yahoo! JAPAN Mail"), Text("pop.mail.yahoo.co.jp"),
               Text("smtp.mail.yahoo.co.jp"), none, none, none, none, Value(1), Value(1), Value(1), Value(465),
               Value(995), Value(2), Text("yahoo.co.jp"), Text("ymail.ne.jp"), Flag(false), Value(1), none,
               Text("Your Yahoo! JAPAN ID:")})},
    };
    const Bytes embedded = Embedded();
    for (const auto& c : cases)
        EXPECT_NE(std::search(embedded.begin(), embedded.end(), c.record.begin(), c.record.end()), embedded.end())
            << c.name << ": the embedded database does not hold the record as written out here";

    const std::string source = ReadText(MW_SOURCE_DIR "/data/providers.toml");
    std::int32_t records = 0;
    for (std::size_t at = source.find("\n[[provider]]"); at != std::string::npos;
         at = source.find("\n[[provider]]", at + 1))
        ++records;
    const Bytes header = Join({Value(1), Value(records)});
    ASSERT_GE(embedded.size(), header.size());
    EXPECT_TRUE(std::equal(header.begin(), header.end(), embedded.begin())) << "version 1 and " << records << " records";
}

TEST(ProviderData, RecordsFollowTheRules) {
    const auto& providers = Source().GetProviders();
    EXPECT_GE(providers.size(), 100u);
    std::map<std::string, std::string> listedBy;
    for (const auto& p : providers) {
        const std::string& name = p->m_name;
        EXPECT_EQ(p->m_layout, 2) << name;
        EXPECT_EQ(p->m_pop3Port, p->m_pop3Ssl ? 995 : 110) << name;
        const std::set<int> smtpPorts = p->m_smtpSsl ? std::set<int>{465, 587} : std::set<int>{25, 587};
        EXPECT_TRUE(smtpPorts.count(p->m_smtpPort)) << name << " smtp port " << p->m_smtpPort;
        EXPECT_FALSE(p->m_pop3Server.empty()) << name;
        EXPECT_FALSE(p->m_smtpServer.empty()) << name;
        EXPECT_TRUE(!p->m_askUserName || !p->m_userNamePrompt.empty()) << name << " asks without a prompt";
        for (const std::string& domain : p->m_domains) {
            EXPECT_EQ(domain.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ \t"), std::string::npos) << domain;
            EXPECT_NE(domain.find('.'), std::string::npos) << domain;
            const auto [at, fresh] = listedBy.emplace(domain, name);
            EXPECT_TRUE(fresh) << domain << " is listed by " << at->second << " and " << name;
        }
    }
}

TEST(DefaultDatabase, EveryDomainIsLowerCaseAndInOneRecord) {
    VeskMemoryArchive archive;
    const Bytes bytes = Embedded();
    archive.Assign(bytes.data(), bytes.size());
    CProviderDatabase db;
    db.Read(archive);
    std::map<std::string, std::string> listedBy;
    for (const auto& p : db.GetProviders()) {
        for (const std::string& domain : p->m_domains) {
            EXPECT_EQ(domain.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ \t"), std::string::npos) << domain;
            const auto [at, fresh] = listedBy.emplace(domain, p->m_name);
            EXPECT_TRUE(fresh) << domain << " is listed by " << at->second << " and " << p->m_name;
        }
    }
    // Guards against losing records or domains by accident.
    EXPECT_GE(db.GetProviders().size(), 165u);
    EXPECT_GE(listedBy.size(), 940u);
}

// Every record says where it comes from. A record that follows ISP database files vouches
// only for the domains those files list; any other domain of it names its own source.
TEST(ProviderData, EveryRecordAndDomainNamesItsSource) {
    EXPECT_EQ(Document().warnings, std::vector<std::string>());
    const auto ispDomains = IspDatabaseDomains();
    const auto& providers = Source().GetProviders();
    ASSERT_EQ(Document().origins.size(), providers.size());
    for (std::size_t i = 0; i < providers.size(); ++i) {
        const ProviderOrigin& origin = Document().origins[i];
        std::set<std::string> vouched;
        bool followsIspDatabase = false;
        for (const SourceReference& reference : origin.source) {
            if (reference.repository != kIspDatabaseRepository) continue;
            followsIspDatabase = true;
            const auto file = ispDomains.find(reference.Text());
            if (file == ispDomains.end()) {
                ADD_FAILURE() << origin.record << ": " << reference.Text()
                              << " is missing from tests/data/ispdb-domains.txt (scripts/ispdb-domains makes it)";
                continue;
            }
            vouched.insert(file->second.begin(), file->second.end());
        }
        if (!followsIspDatabase) continue;
        for (const std::string& domain : providers[i]->m_domains)
            EXPECT_TRUE(vouched.count(domain) || origin.domainSources.count(domain))
                << origin.record << ": " << domain << " is in none of the ISP database files cited and names no source";
    }
}

TEST(ProviderData, ShownTextsAreComplete) {
    for (const auto& p : Source().GetProviders()) {
        if (p->m_infoUrl.empty()) continue;
        EXPECT_FALSE(p->m_comment.empty()) << p->m_name << ": a link without a comment";
        EXPECT_TRUE(p->m_infoUrl.rfind("https://", 0) == 0 || p->m_infoUrl.rfind("http://", 0) == 0)
            << p->m_name << ": " << p->m_infoUrl;
        EXPECT_EQ(p->m_infoUrl.find_first_of(" \t\"<>"), std::string::npos) << p->m_name << ": " << p->m_infoUrl;
    }
}

TEST(ProviderData, ListsTheWellKnownFamilies) {
    // One domain of each family that the program is expected to know.
    const char* domains[] = {
        "gmail.com", "outlook.com", "hotmail.com", "yahoo.com", "aol.com", "gmx.net", "zoho.com",
        "yandex.ru", "mail.ru", "rambler.ru", "wp.pl", "o2.pl", "onet.pl", "interia.pl", "t-online.de",
        "web.de", "freenet.de", "online.de", "posteo.de", "mailbox.org", "seznam.cz", "centrum.cz",
        "orange.fr", "free.fr", "sfr.fr", "laposte.net", "libero.it", "virgilio.it", "aruba.it",
        SubdomainHostDomain,
    };
    for (const char* domain : domains) EXPECT_TRUE(Source().FindByDomain(domain)) << domain;
}
