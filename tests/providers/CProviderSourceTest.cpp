#include <gtest/gtest.h>

#include <toml++/toml.h>

#include <string>

#include "providers/CProviderSource.h"
#include "providers/SourceReference.h"
#include "support/VeskMemoryArchive.h"
#include "StreamBytes.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {

Bytes Compiled(const CProviderDatabase& db) {
    VeskMemoryArchive archive;
    db.Write(archive);
    return Bytes(archive.GetData(), archive.GetData() + archive.GetLength());
}

// A database that uses every corner of the format.
CProviderDatabase Awkward() {
    CProviderDatabase db;
    db.SetVersion(7);
    CRefCountPtr<CProvider> a(new CProvider);
    a->m_name = "Quotes \" and \\ backslashes";
    a->m_pop3Server = "pop3.wp.pl";
    a->m_smtpServer = "smtp.wp.pl";
    a->m_altComment = "Zak\xB3" "adka \xB9\xE6\xEA";  // Windows-1250, not UTF-8
    a->m_comment = "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87";  // UTF-8
    a->m_altInfoUrl = "http://poczta.wp.pl/";
    a->m_infoUrl = "";
    a->m_altUserNamePrompt = "\xA3odzina";
    a->m_userNamePrompt = "Login";
    a->m_smtpAuth = 2;
    a->m_pop3Ssl = -1;
    a->m_smtpSsl = 0;
    a->m_askUserName = 1;
    a->m_userNameIsEmail = false;
    a->m_pop3Port = 995;
    a->m_smtpPort = 465;
    a->m_domains = {"wp.pl", "Wp.PL", "xn--t-bga.fr"};
    db.Add(a);
    CRefCountPtr<CProvider> b(new CProvider);
    b->m_layout = 1;
    b->m_name = "Layout one";
    b->m_pop3Server = "pop.o2.pl";
    b->m_smtpServer = "smtp.o2.pl";
    b->m_altComment = "first only";
    b->m_altUserNamePrompt = "prompt";
    b->m_pop3Port = 110;
    b->m_smtpPort = 25;
    b->m_domains = {"o2.pl"};
    db.Add(b);
    return db;
}

}  // namespace

TEST(CProviderSource, FormatThenParseGivesTheSameBytes) {
    const CProviderDatabase db = Awkward();
    const std::string source = CProviderSource::Format(db);
    const CProviderDatabase back = CProviderSource::Parse(source, "dump.toml");
    EXPECT_EQ(Compiled(back), Compiled(db)) << source;
    EXPECT_EQ(CProviderSource::Format(back), source);
    EXPECT_NE(source.find("alt_comment = { hex = \"5a616bb361646b6120b9e6ea\" }"), std::string::npos) << source;
}

// A dump shows any database, even one that the compiler refuses: every text is one
// valid TOML string that holds exactly the record's bytes.
TEST(CProviderSource, FormatWritesImpossibleTextsAsValidToml) {
    CProviderDatabase db = Awkward();
    const std::string name = "tabs\tlines\n\x01\x7F";
    const std::string domain = "\xE9t\xE9.fr";
    db.GetProviders()[0]->m_name = name;
    db.GetProviders()[0]->m_domains.push_back(domain);
    const toml::table root = toml::parse(CProviderSource::Format(db));
    EXPECT_EQ(root["provider"][0]["name"].value<std::string>(), name);
    EXPECT_EQ(root["provider"][0]["domains"][3]["hex"].value<std::string>(), "e974e92e6672");
}

TEST(CProviderSource, ReadsAHandWrittenSource) {
    const std::string source = R"(format_version = 1
# texts that are left out are empty
[[provider]]
name = "Gmail"
layout = 2
domains = ["gmail.com", "googlemail.com"]
pop3 = { server = "pop.gmail.com", port = 995, ssl = true }
smtp = { server = "smtp.gmail.com", port = 587, ssl = false, auth = true }
user_name_is_email = true
ask_user_name = false
alt_comment = { hex = "B9E6" }

[[provider]]
name = "Interia"
layout = 1
domains = ["interia.pl"]
pop3 = { server = "poczta.interia.pl", port = 110, ssl = 0 }
smtp = { server = "poczta.interia.pl", port = 25, ssl = false, auth = 1 }
user_name_is_email = false
ask_user_name = 3
)";
    const CProviderDatabase db = CProviderSource::Parse(source, "p.toml");
    EXPECT_EQ(db.GetVersion(), 1);
    ASSERT_EQ(db.GetProviders().size(), 2u);
    const CProvider& g = *db.GetProviders()[0];
    EXPECT_EQ(g.m_domains, (std::vector<std::string>{"gmail.com", "googlemail.com"}));
    EXPECT_EQ(g.m_pop3Server, "pop.gmail.com");
    EXPECT_EQ(g.m_pop3Port, 995);
    EXPECT_EQ(g.m_pop3Ssl, 1);
    EXPECT_EQ(g.m_smtpPort, 587);
    EXPECT_EQ(g.m_smtpSsl, 0);
    EXPECT_EQ(g.m_smtpAuth, 1);
    EXPECT_EQ(g.m_altComment, "\xB9\xE6");
    EXPECT_EQ(g.m_comment, "");
    const CProvider& i = *db.GetProviders()[1];
    EXPECT_EQ(i.m_layout, 1);
    EXPECT_FALSE(i.m_userNameIsEmail);
    EXPECT_EQ(i.m_askUserName, 3);
    EXPECT_EQ(i.m_pop3Ssl, 0);
}

TEST(CProviderSource, ErrorsNameTheLineAndWhatWasExpected) {
    const std::string head = "format_version = 1\n[[provider]]\n";  // the provider table starts on line 2
    const std::string body =
        "name = \"P\"\nlayout = 2\ndomains = [\"p.pl\"]\n"                     // lines 3-5
        "pop3 = { server = \"pop.p.pl\", port = 995, ssl = true }\n"          // line 6
        "smtp = { server = \"smtp.p.pl\", port = 465, ssl = true, auth = true }\n"  // line 7
        "user_name_is_email = true\nask_user_name = false\n";                // lines 8-9
    const auto replace = [&](const std::string& from, const std::string& to) {
        std::string text = head + body;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const struct {
        const char* name;
        std::string source;
        int line;
        const char* expected;
    } cases[] = {
        {"TOML syntax", replace("name = \"P\"", "name = \"P"), 3, "Error while parsing string"},
        {"no version", "[[provider]]\n" + body, 1, "missing key \"format_version\""},
        {"version 0", replace("format_version = 1", "format_version = 0"), 1, "format_version: expected an integer from 1"},
        {"no providers", "format_version = 1\n", 1, "missing key \"provider\""},
        {"provider not a table", "format_version = 1\nprovider = 3\n", 2, "expected [[provider]] tables"},
        {"unknown top-level key", head + body + "[extra]\n", 10, "unknown key \"extra\""},
        {"missing key", replace("ask_user_name = false\n", ""), 2, "missing key \"ask_user_name\""},
        {"unknown key", replace("layout = 2", "layout = 2\nlayuot = 2"), 5, "unknown key \"layuot\""},
        {"layout 3", replace("layout = 2", "layout = 3"), 4, "layout: expected an integer from 1 to 2"},
        {"port too big", replace("port = 995", "port = 99500"), 6, "pop3.port: expected an integer from 1 to 65535"},
        {"ssl as text", replace("ssl = true }\nsmtp", "ssl = \"yes\" }\nsmtp"), 6, "pop3.ssl: expected true, false"},
        {"auth missing", replace(", auth = true", ""), 7, "smtp: missing key \"auth\""},
        {"server not text", replace("server = \"pop.p.pl\"", "server = 1"), 6, "pop3.server: expected a string"},
        {"pop3 not a table", replace("pop3 = { server = \"pop.p.pl\", port = 995, ssl = true }", "pop3 = \"pop.p.pl\""),
         6, "pop3: expected a table"},
        {"no domains", replace("[\"p.pl\"]", "[]"), 5, "domains: expected a list of at least one domain"},
        {"empty domain", replace("[\"p.pl\"]", "[\"p.pl\", \"\"]"), 5, "domains: expected a domain"},
        {"user name flag as number", replace("user_name_is_email = true", "user_name_is_email = 1"), 8,
         "user_name_is_email: expected true or false"},
        {"second copy in layout 1", replace("layout = 2", "layout = 1\ncomment = \"x\""), 5,
         "comment: layout 1 has no second copy"},
        {"odd hex", replace("name = \"P\"", "name = { hex = \"abc\" }"), 3, "name: expected pairs of hex digits"},
        {"hex with other keys", replace("name = \"P\"", "name = { hex = \"ab\", x = 1 }"), 3,
         "name: expected a string or { hex"},
        {"NUL in a text", replace("name = \"P\"", "name = \"a\\u0000b\""), 3, "without NUL"},
        {"NUL in hex", replace("name = \"P\"", "name = { hex = \"6100\" }"), 3, "without NUL"},
        // The values a downloaded database must hold: the error points at the record.
        {"server not a host name", replace("\"pop.p.pl\"", "\"pop.p.pl\\r\\nX: 1\""), 2,
         "pop3.server \"pop.p.pl??X: 1\": expected a host name"},
        {"domain not a domain", replace("[\"p.pl\"]", "[\"p.pl\", \"p\"]"), 2, "domains \"p\": expected domains"},
        {"control character in a text", replace("name = \"P\"", "name = \"P\\u001b\""), 2,
         "name \"P?\": expected a text without control characters"},
        {"link not to the web", replace("layout = 2", "layout = 2\ninfo_url = \"file:///x\""), 2,
         "info_url \"file:///x\": expected empty or a web address"},
    };
    for (const auto& c : cases) {
        try {
            CProviderSource::Parse(c.source, "src.toml");
            ADD_FAILURE() << c.name << ": no error";
        } catch (const CProviderSource::SyntaxError& e) {
            const std::string message = e.what();
            const std::string where = "src.toml:" + std::to_string(c.line) + ":";
            EXPECT_EQ(message.rfind(where, 0), 0u) << c.name << ": " << message;
            EXPECT_NE(message.find(c.expected), std::string::npos) << c.name << ": " << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << c.name << ": " << message;
        }
    }
}

TEST(SourceReference, ReadsTheTwoFormsOnly) {
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"thunderbird/autoconfig:ispdb/gmx.com.xml@c6ad79659b5f", true},
        {"M66B/FairEmail:app/src/main/res/xml/providers.xml@bc9efb1e58b323cc231c0e2ad89958734e8ad516", true},
        {"https://support.google.com/mail/answer/7104828 (read 2026-12-10)", true},
        {"http://help.example.pl/poczta?x=1#pop (read 2026-01-31)", true},
        {"thunderbird/autoconfig:ispdb/gmx.com.xml", false},             // no commit
        {"thunderbird/autoconfig:ispdb/gmx.com.xml@c6ad79", false},      // commit too short
        {"thunderbird/autoconfig:ispdb/gmx.com.xml@C6AD79659B5F", false},
        {"thunderbird/autoconfig:../gmx.com.xml@c6ad79659b5f", false},
        {"ispdb/gmx.com.xml@c6ad79659b5f", false},                        // no repository
        {"https://support.google.com/mail/answer/7104828", false},       // no day
        {"https://support.google.com/ (read 2026-13-10)", false},
        {"https://support.google.com/ (read 10.12.2026)", false},
        {"ftp://example.com/x (read 2026-12-10)", false},
        {"the ISP database", false},
        {"", false},
    };
    for (const auto& c : cases) {
        const auto reference = SourceReference::Parse(c.text);
        EXPECT_EQ(reference.has_value(), c.valid) << c.text;
        if (reference) {
            EXPECT_EQ(reference->Text(), c.text);
        }
    }
    const auto file = SourceReference::Parse("thunderbird/autoconfig:ispdb/gmx.com.xml@c6ad79659b5f");
    ASSERT_TRUE(file && file->IsRepositoryFile());
    EXPECT_EQ(file->repository, "thunderbird/autoconfig");
    EXPECT_EQ(file->path, "ispdb/gmx.com.xml");
    EXPECT_EQ(file->commit, "c6ad79659b5f");
    const auto page = SourceReference::Parse("https://hilfe.gmx.net/pop-imap/einschalten.html (read 2026-12-10)");
    ASSERT_TRUE(page && !page->IsRepositoryFile());
    EXPECT_EQ(page->address, "https://hilfe.gmx.net/pop-imap/einschalten.html");
    EXPECT_EQ(page->readOn, "2026-12-10");
}

namespace {

const char kRecord[] = R"(format_version = 1
[[provider]]
name = "P"
layout = 2
domains = ["p.pl", "q.pl"]
pop3 = { server = "pop.p.pl", port = 995, ssl = true }
smtp = { server = "smtp.p.pl", port = 465, ssl = true, auth = true }
user_name_is_email = true
ask_user_name = false
)";

}  // namespace

// Where a record comes from is the maker's knowledge, not the program's: the source reads
// it beside the records, and the database compiles to the same bytes with or without it.
TEST(CProviderSource, SourcesStayOutOfTheDatabase) {
    const std::string sourced = std::string(kRecord) +
                                "source = [\"thunderbird/autoconfig:ispdb/p.pl.xml@0123abcd\", "
                                "\"https://pomoc.p.pl/pop3 (read 2026-12-10)\"]\n"
                                "domain_sources = { \"q.pl\" = \"https://pomoc.p.pl/domeny (read 2026-12-09)\" }\n";
    const CProviderSource::Document document = CProviderSource::Read(sourced, "p.toml");
    EXPECT_TRUE(document.warnings.empty());
    EXPECT_EQ(Compiled(document.database), Compiled(CProviderSource::Parse(kRecord, "p.toml")));
    ASSERT_EQ(document.origins.size(), 1u);
    const ProviderOrigin& origin = document.origins[0];
    EXPECT_EQ(origin.record, "P");
    EXPECT_EQ(origin.line, 2);
    ASSERT_EQ(origin.source.size(), 2u);
    EXPECT_EQ(origin.source[0].path, "ispdb/p.pl.xml");
    EXPECT_EQ(origin.source[1].address, "https://pomoc.p.pl/pop3");
    ASSERT_EQ(origin.domainSources.size(), 1u);
    ASSERT_EQ(origin.domainSources.at("q.pl").size(), 1u);
    EXPECT_EQ(origin.domainSources.at("q.pl")[0].readOn, "2026-12-09");
    EXPECT_EQ(CProviderSource::Format(document.database).find("source ="), std::string::npos);
}

TEST(CProviderSource, WarnsOfRecordsThatNameNoSource) {
    const struct {
        const char* name;
        std::string add;
        std::vector<std::string> warnings;
    } cases[] = {
        {"no source", "", {"p.toml:2: record \"P\" names no source"}},
        {"empty list", "source = []\n", {"p.toml:2: record \"P\" names no source"}},
        {"free text", "source = \"the ISP database\"\n",
         {"p.toml:2: record \"P\": source \"the ISP database\" names neither a repository file at a commit "
          "(owner/name:path@commit) nor a page with the day it was read (https://... (read YYYY-MM-DD))"}},
        {"one of two without a day",
         "source = [\"https://pomoc.p.pl/a (read 2026-12-10)\", \"https://pomoc.p.pl/b\"]\n",
         {"p.toml:2: record \"P\": source \"https://pomoc.p.pl/b\" names neither a repository file at a commit "
          "(owner/name:path@commit) nor a page with the day it was read (https://... (read YYYY-MM-DD))"}},
        {"a domain without a source",
         "source = \"https://pomoc.p.pl/a (read 2026-12-10)\"\ndomain_sources = { \"q.pl\" = [] }\n",
         {"p.toml:2: record \"P\", domain \"q.pl\" names no source"}},
    };
    for (const auto& c : cases) {
        const CProviderSource::Document document = CProviderSource::Read(std::string(kRecord) + c.add, "p.toml");
        EXPECT_EQ(document.warnings, c.warnings) << c.name;
        EXPECT_EQ(document.database.GetProviders().size(), 1u) << c.name;
    }
}

TEST(CProviderSource, RefusesSourcesOfTheWrongShape) {
    const struct {
        const char* name;
        std::string add;
        int line;
        const char* expected;
    } cases[] = {
        {"source a number", "source = 3\n", 10, "source: expected a string or a list of strings"},
        {"source a list of numbers", "source = [3]\n", 10, "source: expected a string"},
        {"domain sources a list", "domain_sources = [\"q.pl\"]\n", 10, "domain_sources: expected a table"},
        {"a domain the record lacks", "domain_sources = { \"r.pl\" = \"https://r.pl/ (read 2026-12-10)\" }\n", 10,
         "domain_sources: \"r.pl\" is not one of the record's domains"},
    };
    for (const auto& c : cases) {
        try {
            CProviderSource::Read(std::string(kRecord) + c.add, "p.toml");
            ADD_FAILURE() << c.name << ": no error";
        } catch (const CProviderSource::SyntaxError& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind("p.toml:" + std::to_string(c.line) + ":", 0), 0u) << c.name << ": " << message;
            EXPECT_NE(message.find(c.expected), std::string::npos) << c.name << ": " << message;
        }
    }
}
