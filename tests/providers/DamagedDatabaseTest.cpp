// Damaged and truncated databases: the reader never crashes or runs away, and the
// strict check lets only complete databases through.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "providers/CProviderDatabase.h"
#include "support/EmbeddedResource.h"
#include "support/VeskMemoryArchive.h"
#include "StreamBytes.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {

Bytes Layout1Record() {
    std::vector<Bytes> items = RecordItems();
    items[kLayout] = Value(1);
    items[kDomainCount] = Value(2);
    items.insert(items.begin() + kDomain + 1, Text("example.org"));
    items.erase(items.begin() + kPrompt + 1);
    items.erase(items.begin() + kInfoUrl);
    items.erase(items.begin() + kComment);
    return Join(items);
}

// A small database with both layouts, as the writer writes it.
Bytes SampleDatabase() { return Database({Join(RecordItems()), Layout1Record(), Join(RecordItems())}); }

bool IsComplete(const Bytes& bytes) { return CProviderDatabase::IsCompleteDatabase(bytes.data(), bytes.size()); }

// Reads a damaged image and checks that the archive stayed within the stream.
CProviderDatabase ReadDamaged(const Bytes& bytes) {
    VeskMemoryArchive archive;
    archive.Assign(bytes.data(), bytes.size());
    CProviderDatabase db;
    db.Read(archive);
    EXPECT_LE(archive.GetCursor(), archive.GetLength());
    return db;
}

void ExpectSameProvider(const CProvider& a, const CProvider& b, const std::string& where) {
    EXPECT_EQ(a.m_layout, b.m_layout) << where;
    EXPECT_EQ(a.m_name, b.m_name) << where;
    EXPECT_EQ(a.m_pop3Server, b.m_pop3Server) << where;
    EXPECT_EQ(a.m_smtpServer, b.m_smtpServer) << where;
    EXPECT_EQ(a.m_altComment, b.m_altComment) << where;
    EXPECT_EQ(a.m_comment, b.m_comment) << where;
    EXPECT_EQ(a.m_altInfoUrl, b.m_altInfoUrl) << where;
    EXPECT_EQ(a.m_infoUrl, b.m_infoUrl) << where;
    EXPECT_EQ(a.m_smtpAuth, b.m_smtpAuth) << where;
    EXPECT_EQ(a.m_pop3Ssl, b.m_pop3Ssl) << where;
    EXPECT_EQ(a.m_smtpSsl, b.m_smtpSsl) << where;
    EXPECT_EQ(a.m_smtpPort, b.m_smtpPort) << where;
    EXPECT_EQ(a.m_pop3Port, b.m_pop3Port) << where;
    EXPECT_EQ(a.m_domains, b.m_domains) << where;
    EXPECT_EQ(a.m_userNameIsEmail, b.m_userNameIsEmail) << where;
    EXPECT_EQ(a.m_askUserName, b.m_askUserName) << where;
    EXPECT_EQ(a.m_altUserNamePrompt, b.m_altUserNamePrompt) << where;
    EXPECT_EQ(a.m_userNamePrompt, b.m_userNamePrompt) << where;
}

// Walks the items of a database written by the writer (tags, known layouts, at least one
// domain) without the reader: where the header ends and where each record's tag and whole
// record end.
class RecordBounds {
public:
    explicit RecordBounds(const Bytes& bytes) : m_bytes(bytes) {
        SkipValue();
        const std::int32_t count = SkipValue();
        headerEnd = m_at;
        for (std::int32_t i = 0; i < count; ++i) WalkRecord();
    }
    std::size_t headerEnd = 0;
    std::vector<std::size_t> tagEnds, recordEnds;

private:
    std::int32_t Raw(std::size_t at) const {
        if (at + 4 > m_bytes.size()) throw std::out_of_range("item past the end");
        return static_cast<std::int32_t>(m_bytes[at] | m_bytes[at + 1] << 8 | m_bytes[at + 2] << 16 |
                                         static_cast<std::uint32_t>(m_bytes[at + 3]) << 24);
    }
    std::int32_t SkipValue() {
        const std::int32_t width = Raw(m_at);
        const std::int32_t value = width == 4 ? Raw(m_at + 4) : m_bytes.at(m_at + 4);
        m_at += 4 + static_cast<std::size_t>(width);
        return value;
    }
    void SkipStrings(int n) {
        for (int i = 0; i < n; ++i) m_at += 5 + static_cast<std::size_t>(Raw(m_at + 1));
    }
    void WalkRecord() {
        SkipValue();
        tagEnds.push_back(m_at);
        const bool layout2 = SkipValue() == 2;
        SkipStrings(layout2 ? 7 : 5);
        for (int i = 0; i < 5; ++i) SkipValue();
        SkipStrings(SkipValue());
        SkipValue();
        SkipValue();
        SkipStrings(layout2 ? 2 : 1);
        recordEnds.push_back(m_at);
    }

    const Bytes& m_bytes;
    std::size_t m_at = 0;
};

// Every cut gives back exactly the records complete before it, equal to those of the whole
// read, and one more when it holds the next record's tag.
void ExpectCutsKeepCompleteRecords(const Bytes& whole) {
    const CProviderDatabase full = ReadDamaged(whole);
    const RecordBounds bounds(whole);
    ASSERT_EQ(bounds.recordEnds.size(), full.GetProviders().size());
    ASSERT_EQ(bounds.recordEnds.back(), whole.size());
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        const Bytes part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        const std::string where = "cut at " + std::to_string(cut);
        EXPECT_FALSE(IsComplete(part)) << where;
        const CProviderDatabase db = ReadDamaged(part);
        const auto& got = db.GetProviders();
        const auto complete = static_cast<std::size_t>(
            std::upper_bound(bounds.recordEnds.begin(), bounds.recordEnds.end(), cut) - bounds.recordEnds.begin());
        const bool begunRecord = cut >= bounds.headerEnd && cut >= bounds.tagEnds[complete];
        ASSERT_EQ(got.size(), complete + (begunRecord ? 1 : 0)) << where;
        for (std::size_t i = 0; i < complete; ++i) ExpectSameProvider(*got[i], *full.GetProviders()[i], where);
    }
}

}  // namespace

TEST(DamagedDatabase, EveryCutOfASmallDatabase) { ExpectCutsKeepCompleteRecords(SampleDatabase()); }

TEST(DamagedDatabase, FlippedBytesNeverBreakTheReader) {
    const Bytes whole = SampleDatabase();
    for (std::size_t at = 0; at < whole.size(); ++at) {
        for (std::uint8_t mask : {0x01, 0x80, 0xFF}) {
            Bytes damaged = whole;
            damaged[at] ^= mask;
            const CProviderDatabase db = ReadDamaged(damaged);
            EXPECT_LE(db.GetProviders().size(), 3u);
            // Whatever the strict check accepts must read back the way the reader sees it.
            if (IsComplete(damaged)) {
                VeskMemoryArchive archive;
                archive.Assign(damaged.data(), damaged.size());
                CProviderDatabase again;
                again.Read(archive);
                EXPECT_TRUE(archive.AtEnd()) << "flip at " << at;
            }
        }
    }
}

TEST(DamagedDatabase, HugeCountsAndLengthsStopAtTheEnd) {
    std::vector<Bytes> hugeDomainCount = RecordItems();
    hugeDomainCount[kDomainCount] = Value(0x7FFFFFFF);
    std::vector<Bytes> hugeName = RecordItems();
    hugeName[kName] = Join({Bytes{0x01}, Raw32(0x7FFFFFFF), Bytes{'a'}});
    std::vector<Bytes> hugeValue = RecordItems();
    hugeValue[kSmtpPort] = Sized(0x7FFFFFFF, Raw32(25));

    const struct {
        const char* name;
        Bytes bytes;
        std::size_t providers;
    } cases[] = {
        {"huge record count", Join({Value(1), Value(0x7FFFFFFF), Join(RecordItems())}), 1},
        {"huge domain count", Database({Join(hugeDomainCount)}), 1},
        {"huge name length", Database({Join(hugeName)}), 1},
        {"huge value width", Database({Join(hugeValue)}), 1},
        {"all bytes 0xFF", Bytes(64, 0xFF), 0},
    };
    for (const auto& c : cases) {
        const CProviderDatabase db = ReadDamaged(c.bytes);
        EXPECT_EQ(db.GetProviders().size(), c.providers) << c.name;
        EXPECT_FALSE(IsComplete(c.bytes)) << c.name;
    }
}

// With one to three bytes left no item fits and reading one consumes nothing: the read
// ends there as incomplete instead of trying again for each of 2^31 counted records.
TEST(DamagedDatabase, BytesTooFewForAnItemEndTheReadAsIncomplete) {
    const auto resource = FindEmbeddedResource("BIN", IDR_DEFAULT_DATABASE);
    ASSERT_TRUE(resource);
    const Bytes original(resource->begin(), resource->end());
    Bytes patched = original;
    const Bytes hugeCount = Raw32(0x7FFFFFFF);
    std::copy(hugeCount.begin(), hugeCount.end(), patched.begin() + 12);  // after the version item and the count's width
    patched.insert(patched.end(), {0x04, 0x00});
    const CProviderDatabase whole = ReadDamaged(original);
    const struct {
        const char* name;
        Bytes bytes;
        std::size_t providers;
    } cases[] = {
        {"17 bytes: version, huge count, one byte", Join({Value(1), Value(0x7FFFFFFF), Bytes{0x04}}), 0},
        {"default database with a huge count and two more bytes", patched, whole.GetProviders().size()},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(c.bytes.size() == 17, c.providers == 0) << c.name;
        VeskMemoryArchive archive;
        archive.Assign(c.bytes.data(), c.bytes.size());
        CProviderDatabase db;
        EXPECT_FALSE(db.Read(archive)) << c.name;
        EXPECT_EQ(db.GetProviders().size(), c.providers) << c.name;
    }
    VeskMemoryArchive archive;
    archive.Assign(original.data(), original.size());
    EXPECT_TRUE(CProviderDatabase().Read(archive));
}

TEST(IsCompleteDatabase, AcceptsWhatTheWriterWrites) {
    EXPECT_TRUE(IsComplete(SampleDatabase()));
    EXPECT_TRUE(IsComplete(Database({Join(RecordItems())}, 7)));

    CProviderDatabase db;
    db.SetVersion(1);
    CRefCountPtr<CProvider> p(new CProvider);
    p->m_domains = {"a.com"};
    db.Add(p);
    CRefCountPtr<CProvider> q(new CProvider);
    q->m_layout = 1;
    q->m_domains = {"", "b.com"};
    db.Add(q);
    VeskMemoryArchive archive;
    db.Write(archive);
    EXPECT_TRUE(CProviderDatabase::IsCompleteDatabase(archive.GetData(), archive.GetLength()));
}

TEST(IsCompleteDatabase, RejectsEachKindOfDamage) {
    using Edit = std::function<void(std::vector<Bytes>&)>;
    const auto record = [](const Edit& edit) {
        std::vector<Bytes> items = RecordItems();
        edit(items);
        return Database({Join(items)});
    };
    const Bytes good = Database({Join(RecordItems())});
    Bytes trailing = good;
    trailing.push_back(0);

    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"nothing", {}},
        {"version 0", Database({Join(RecordItems())}, 0)},
        {"no records", Database({})},
        {"count says two", Join({Value(1), Value(2), Join(RecordItems())})},
        {"negative count", Join({Value(1), Value(-1), Join(RecordItems())})},
        {"trailing byte", trailing},
        {"cut by one byte", Bytes(good.begin(), good.end() - 1)},
        {"tag 51", record([](auto& i) { i[kTag] = Value(51); })},
        {"layout 3", record([](auto& i) { i[kLayout] = Value(3); })},
        {"layout 1 with layout-2 items", record([](auto& i) { i[kLayout] = Value(1); })},
        {"layout 2 with layout-1 items", record([](auto& i) { i.erase(i.begin() + kComment); })},
        {"domain count 0", record([](auto& i) { i[kDomainCount] = Value(0); i.erase(i.begin() + kDomain); })},
        {"negative domain count", record([](auto& i) { i[kDomainCount] = Value(-1); i.erase(i.begin() + kDomain); })},
        {"domain count above the list", record([](auto& i) { i[kDomainCount] = Value(2); })},
        {"only an empty domain", record([](auto& i) { i[kDomain] = Text(""); })},
        {"value of width 8", record([](auto& i) { i[kSmtpPort] = Sized(8, Join({Raw32(25), Raw32(0)})); })},
        {"value of width 2", record([](auto& i) { i[kPop3Port] = Sized(2, {0x6E, 0}); })},
        {"value of width 0", record([](auto& i) { i[kSmtpAuth] = Sized(0, {}); })},
        {"user-name flag of width 4", record([](auto& i) { i[kUserNameIsEmail] = Value(1); })},
        {"absent string", record([](auto& i) { i[kName] = Bytes{0x00}; })},
        {"string flag 0x02", record([](auto& i) { i[kName] = Join({Bytes{0x02}, Raw32(0)}); })},
        {"negative length", record([](auto& i) { i[kAltComment] = Join({Bytes{0x01}, Raw32(-1)}); })},
        {"length past the end", record([](auto& i) { i[kPrompt] = Join({Bytes{0x01}, Raw32(10), Bytes{'p'}}); })},
    };
    ASSERT_TRUE(IsComplete(good));
    for (const auto& c : cases) EXPECT_FALSE(IsComplete(c.bytes)) << c.name;
    EXPECT_FALSE(CProviderDatabase::IsCompleteDatabase(nullptr, 100));
}

TEST(DamagedDatabase, EveryCutOfTheDefaultDatabase) {
    const auto resource = FindEmbeddedResource("BIN", IDR_DEFAULT_DATABASE);
    ASSERT_TRUE(resource);
    ExpectCutsKeepCompleteRecords(Bytes(resource->begin(), resource->end()));
}
