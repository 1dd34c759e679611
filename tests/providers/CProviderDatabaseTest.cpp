#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "providers/CProviderDatabase.h"
#include "support/EmbeddedResource.h"
#include "support/VeskMemoryArchive.h"
#include "testlib/TempFolder.h"
#include "StreamBytes.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {

CProviderDatabase ReadBytes(const Bytes& bytes, VeskMemoryArchive& archive) {
    archive.Assign(bytes.data(), bytes.size());
    CProviderDatabase db;
    db.Read(archive);
    return db;
}

CProviderDatabase ReadBytes(const Bytes& bytes) {
    VeskMemoryArchive archive;
    return ReadBytes(bytes, archive);
}

Bytes Written(const CProviderDatabase& db) {
    VeskMemoryArchive archive;
    db.Write(archive);
    return Bytes(archive.GetData(), archive.GetData() + archive.GetLength());
}

CRefCountPtr<CProvider> Provider(const std::string& name, std::vector<std::string> domains) {
    CRefCountPtr<CProvider> p(new CProvider);
    p->m_name = name;
    p->m_pop3Server = "pop." + name;
    p->m_smtpServer = "smtp." + name;
    p->m_domains = std::move(domains);
    return p;
}

CProviderDatabase DatabaseOf(std::vector<CRefCountPtr<CProvider>> providers) {
    CProviderDatabase db;
    db.SetVersion(1);
    for (auto& p : providers) db.Add(p);
    return db;
}

}  // namespace

TEST(CProvider, WritesTheRecordItemByItem) {
    CRefCountPtr<CProvider> p(new CProvider);
    p->m_name = "Example";
    p->m_pop3Server = "pop.example.com";
    p->m_smtpServer = "smtp.example.com";
    p->m_altComment = "alt comment";
    p->m_comment = "comment";
    p->m_altInfoUrl = "alt url";
    p->m_infoUrl = "url";
    p->m_smtpSsl = 0;
    p->m_smtpPort = 587;
    p->m_pop3Port = 995;
    p->m_domains = {"example.com"};
    p->m_userNameIsEmail = false;
    p->m_askUserName = 1;
    p->m_altUserNamePrompt = "alt prompt";
    p->m_userNamePrompt = "prompt";
    EXPECT_EQ(Written(DatabaseOf({p})), Database({Join(RecordItems())}));
}

TEST(CProvider, ReadsEveryFieldOfLayout2) {
    const CProviderDatabase db = ReadBytes(Database({Join(RecordItems())}));
    ASSERT_EQ(db.GetProviders().size(), 1u);
    const CProvider& p = *db.GetProviders()[0];
    EXPECT_EQ(p.m_layout, 2);
    EXPECT_EQ(p.m_name, "Example");
    EXPECT_EQ(p.m_pop3Server, "pop.example.com");
    EXPECT_EQ(p.m_smtpServer, "smtp.example.com");
    EXPECT_EQ(p.m_altComment, "alt comment");
    EXPECT_EQ(p.m_comment, "comment");
    EXPECT_EQ(p.m_altInfoUrl, "alt url");
    EXPECT_EQ(p.m_infoUrl, "url");
    EXPECT_EQ(p.m_smtpAuth, 1);
    EXPECT_EQ(p.m_pop3Ssl, 1);
    EXPECT_EQ(p.m_smtpSsl, 0);
    EXPECT_EQ(p.m_smtpPort, 587);
    EXPECT_EQ(p.m_pop3Port, 995);
    EXPECT_EQ(p.m_domains, std::vector<std::string>{"example.com"});
    EXPECT_FALSE(p.m_userNameIsEmail);
    EXPECT_EQ(p.m_askUserName, 1);
    EXPECT_EQ(p.m_altUserNamePrompt, "alt prompt");
    EXPECT_EQ(p.m_userNamePrompt, "prompt");
}

TEST(CProvider, Layout1HasNoSecondCopies) {
    std::vector<Bytes> items = RecordItems();
    items[kLayout] = Value(1);
    items.erase(items.begin() + kPrompt);
    items.erase(items.begin() + kInfoUrl);
    items.erase(items.begin() + kComment);
    VeskMemoryArchive archive;
    const CProviderDatabase db = ReadBytes(Database({Join(items)}), archive);
    EXPECT_TRUE(archive.AtEnd());
    ASSERT_EQ(db.GetProviders().size(), 1u);
    const CProvider& p = *db.GetProviders()[0];
    EXPECT_EQ(p.m_layout, 1);
    EXPECT_EQ(p.m_altComment, "alt comment");
    EXPECT_EQ(p.m_altInfoUrl, "alt url");
    EXPECT_EQ(p.m_altUserNamePrompt, "alt prompt");
    EXPECT_EQ(p.m_comment, "");
    EXPECT_EQ(p.m_infoUrl, "");
    EXPECT_EQ(p.m_userNamePrompt, "");
    EXPECT_EQ(p.m_domains, std::vector<std::string>{"example.com"});
    EXPECT_EQ(p.m_askUserName, 1);

    // The writer gives the same bytes back.
    EXPECT_EQ(Written(db), Database({Join(items)}));
}

TEST(CProvider, WriterRefusesRecordsAReaderCouldNotFollow) {
    auto noDomain = Provider("a", {});
    auto badLayout = Provider("a", {"a.com"});
    badLayout->m_layout = 3;
    auto lostCopy = Provider("a", {"a.com"});
    lostCopy->m_layout = 1;
    lostCopy->m_comment = "shown";
    for (const auto& p : {noDomain, badLayout, lostCopy}) {
        VeskMemoryArchive archive;
        EXPECT_THROW(p->WriteRecord(archive), std::invalid_argument);
    }
}

TEST(CProvider, RecordCutAfterItsDomainsKeepsTheDefaults) {
    std::vector<Bytes> items = RecordItems();
    items.resize(kDomain + 1);
    const CProviderDatabase db = ReadBytes(Database({Join(items)}));
    ASSERT_EQ(db.GetProviders().size(), 1u);
    const CProvider& p = *db.GetProviders()[0];
    EXPECT_EQ(p.m_domains, std::vector<std::string>{"example.com"});
    EXPECT_TRUE(p.m_userNameIsEmail);
    EXPECT_EQ(p.m_askUserName, 0);
    EXPECT_EQ(p.m_userNamePrompt, "");
}

TEST(CProvider, UnknownLayoutOrNoDomainsStopTheRecord) {
    std::vector<Bytes> unknownLayout = RecordItems();
    unknownLayout[kLayout] = Value(3);
    std::vector<Bytes> noDomains = RecordItems();
    noDomains[kDomainCount] = Value(0);
    for (const auto& items : {unknownLayout, noDomains}) {
        const CProviderDatabase db = ReadBytes(Database({Join(items)}));
        ASSERT_EQ(db.GetProviders().size(), 1u);
        const CProvider& p = *db.GetProviders()[0];
        EXPECT_TRUE(p.m_domains.empty());
        EXPECT_TRUE(p.m_userNameIsEmail);
        EXPECT_EQ(p.m_askUserName, 0);
        EXPECT_EQ(p.m_userNamePrompt, "");
        EXPECT_FALSE(p.MatchesDomain("example.com"));
    }
}

TEST(CProvider, NegativeDomainCountReadsOnWithTheFlags) {
    std::vector<Bytes> items = RecordItems();
    items[kDomainCount] = Value(-1);
    items.erase(items.begin() + kDomain);
    VeskMemoryArchive archive;
    const CProviderDatabase db = ReadBytes(Database({Join(items)}), archive);
    ASSERT_EQ(db.GetProviders().size(), 1u);
    EXPECT_TRUE(db.GetProviders()[0]->m_domains.empty());
    EXPECT_FALSE(db.GetProviders()[0]->m_userNameIsEmail);
    EXPECT_EQ(db.GetProviders()[0]->m_userNamePrompt, "prompt");
    EXPECT_TRUE(archive.AtEnd());
}

TEST(CProviderDatabase, WrongTagMakesNoProviderInThatPass) {
    // A lone value item where the first tag should be: that pass makes nothing and
    // the next pass reads the record that follows.
    const Bytes bytes = Join({Value(1), Value(2), Value(7), Join(RecordItems())});
    const CProviderDatabase db = ReadBytes(bytes);
    ASSERT_EQ(db.GetProviders().size(), 1u);
    EXPECT_EQ(db.GetProviders()[0]->m_name, "Example");
}

TEST(CProviderDatabase, EmptyDatabases) {
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"version 0", Database({Join(RecordItems())}, 0)},
        {"only version and count", {4, 0, 0, 0, 1, 0, 0, 0}},
        {"count 0", Join({Value(1), Value(0), Join(RecordItems())})},
        {"negative count", Join({Value(1), Value(-5), Join(RecordItems())})},
    };
    for (const auto& c : cases) {
        const CProviderDatabase db = ReadBytes(c.bytes);
        EXPECT_TRUE(db.GetProviders().empty()) << c.name;
        EXPECT_FALSE(db.FindByDomain("example.com")) << c.name;
    }
}

TEST(CProviderDatabase, ReadReplacesTheContent) {
    CProviderDatabase db = DatabaseOf({Provider("old", {"old.com"})});
    VeskMemoryArchive archive;
    const Bytes bytes = Database({Join(RecordItems())});
    archive.Assign(bytes.data(), bytes.size());
    db.Read(archive);
    ASSERT_EQ(db.GetProviders().size(), 1u);
    EXPECT_FALSE(db.FindByDomain("old.com"));
}

TEST(CProviderDatabase, FindByDomain) {
    const CProviderDatabase db = DatabaseOf({
        Provider("first", {"one.pl", "shared.com"}),
        Provider("second", {"shared.com", "  two.pl\t"}),
        Provider("blank", {"", " "}),
    });
    const struct {
        const char* domain;
        const char* expected;  // nullptr: nothing found
    } cases[] = {
        {"one.pl", "first"},
        {"ONE.PL", "first"},
        {"  One.Pl \r\n", "first"},
        {"two.pl", "second"},
        {"shared.com", "first"},  // the earlier record wins
        {"mail.one.pl", nullptr},
        {"one.p", nullptr},
        {"ne.pl", nullptr},
        {"", nullptr},
        {"   ", nullptr},
    };
    for (const auto& c : cases) {
        const CRefCountPtr<CProvider> found = db.FindByDomain(c.domain);
        if (!c.expected) {
            EXPECT_FALSE(found) << '"' << c.domain << '"';
        } else {
            ASSERT_TRUE(found) << c.domain;
            EXPECT_EQ(found->m_name, c.expected) << c.domain;
        }
    }
}

TEST(CProviderDatabase, FoldsOnlyAsciiLetters) {
    const CProviderDatabase db = DatabaseOf({Provider("p", {"\xC4\x85.pl"})});
    EXPECT_TRUE(db.FindByDomain("\xC4\x85.PL"));
    EXPECT_FALSE(db.FindByDomain("\xC4\x84.pl"));
}

TEST(CProviderDatabase, FoundProviderOutlivesTheDatabase) {
    CRefCountPtr<CProvider> found;
    {
        const CProviderDatabase db = DatabaseOf({Provider("p", {"p.com"})});
        found = db.FindByDomain("p.com");
    }
    ASSERT_TRUE(found);
    EXPECT_EQ(found->m_name, "p");
    EXPECT_EQ(found->GetRefCount(), 1);
}

TEST(CProviderDatabase, LoadReadsTheApplicationFoldersFile) {
    ScopedPrefixlessSession session;
    CProviderDatabase db;
    EXPECT_FALSE(db.Load());  // missing

    const auto write = [&](const Bytes& bytes) {
        session.Data().WriteFile("Mailwright/providers.lst", std::string(bytes.begin(), bytes.end()));
    };
    write({});
    EXPECT_FALSE(db.Load());  // empty

    write(Database({Join(RecordItems())}, 0));
    EXPECT_TRUE(db.Load());
    EXPECT_TRUE(db.GetProviders().empty());

    write(Database({Join(RecordItems())}));
    EXPECT_TRUE(db.Load());
    EXPECT_TRUE(db.FindByDomain("Example.com"));
}

TEST(CProviderDatabase, ExtractDefaultDatabaseWritesTheEmbeddedBytes) {
    ScopedPrefixlessSession session;
    const auto embedded = FindEmbeddedResource("BIN", IDR_DEFAULT_DATABASE);
    ASSERT_TRUE(embedded);
    const std::string expected(embedded->begin(), embedded->end());

    CProviderDatabase::ExtractDefaultDatabase();
    EXPECT_EQ(session.Data().ReadFile("Mailwright/providers.lst"), expected);

    // Called, it replaces whatever is there; only the start-up rule spares an existing file.
    session.Data().WriteFile("Mailwright/providers.lst", "old");
    CProviderDatabase::ExtractDefaultDatabase();
    EXPECT_EQ(session.Data().ReadFile("Mailwright/providers.lst"), expected);
    CProviderDatabase db;
    EXPECT_TRUE(db.Load());
    EXPECT_TRUE(db.FindByDomain("seznam.cz"));
}
