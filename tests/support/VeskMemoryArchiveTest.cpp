#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/VeskMemoryArchive.h"
#include "testlib/TempFolder.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {
void Fill(VeskMemoryArchive& archive, const std::vector<std::uint8_t>& bytes) {
    archive.Assign(bytes.data(), bytes.size());
}
}  // namespace

TEST(VeskMemoryArchive, WritesTheDocumentedBytes) {
    VeskMemoryArchive archive;
    archive.WriteStringItem("abc");
    archive.WriteValueItem(std::int32_t{102});
    const std::vector<std::uint8_t> expected = {0x01, 0x03, 0, 0, 0, 'a', 'b', 'c', 0x04, 0, 0, 0, 0x66, 0, 0, 0};
    ASSERT_EQ(archive.GetLength(), expected.size());
    EXPECT_EQ(std::vector<std::uint8_t>(archive.GetData(), archive.GetData() + archive.GetLength()), expected);

    archive.SetCursor(0);
    std::string text;
    std::int32_t number = 0;
    archive.ReadStringItem(text);
    archive.ReadValueItem(number);
    EXPECT_EQ(text, "abc");
    EXPECT_EQ(number, 102);
    EXPECT_TRUE(archive.AtEnd());
}

TEST(VeskMemoryArchive, BooleansAndEmptyStrings) {
    VeskMemoryArchive archive;
    archive.WriteValueItem(true);
    archive.WriteStringItem("");
    const std::vector<std::uint8_t> expected = {1, 0, 0, 0, 1, 0x01, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(archive.GetData(), archive.GetData() + archive.GetLength()), expected);
}

TEST(VeskMemoryArchive, ValueItemsThatDoNotFitLeaveTheField) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::int32_t expected;
        std::uint32_t cursor;
    } cases[] = {
        {"count 0", {0, 0, 0, 0, 9}, 0x11223344, 4},
        {"negative count", {0xFF, 0xFF, 0xFF, 0xFF, 9}, 0x11223344, 4},
        {"count 1 sets the low byte", {1, 0, 0, 0, 0x55}, 0x11223355, 5},
        {"fewer than 4 bytes", {4, 0, 0}, 0x11223344, 0},
        {"value cut short", {4, 0, 0, 0, 1, 2}, 0x11223344, 4},
        {"wider than the field is skipped", {8, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}, 0x11223344, 12},
        {"huge count runs past the end", {0xFF, 0xFF, 0xFF, 0x7F, 1}, 0x11223344, 4},
    };
    for (const Case& c : cases) {
        VeskMemoryArchive archive;
        Fill(archive, c.bytes);
        std::int32_t field = 0x11223344;
        archive.ReadValueItem(field);
        EXPECT_EQ(field, c.expected) << c.name;
        EXPECT_EQ(archive.GetCursor(), c.cursor) << c.name;
    }
}

TEST(VeskMemoryArchive, NextItemFollowsASkippedValue) {
    VeskMemoryArchive archive;
        Fill(archive, std::vector<std::uint8_t>{0, 0, 0, 0, 4, 0, 0, 0, 7, 0, 0, 0});
    std::int32_t first = -1, second = -1;
    archive.ReadValueItem(first);
    archive.ReadValueItem(second);
    EXPECT_EQ(first, -1);
    EXPECT_EQ(second, 7);
}

TEST(VeskMemoryArchive, BooleanFieldTakesOneByte) {
    VeskMemoryArchive archive;
        Fill(archive, std::vector<std::uint8_t>{1, 0, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0});
    bool flag = true;
    archive.ReadValueItem(flag);
    EXPECT_FALSE(flag);
    archive.ReadValueItem(flag);  // four bytes do not fit a boolean
    EXPECT_FALSE(flag);
    EXPECT_TRUE(archive.AtEnd());
}

TEST(VeskMemoryArchive, StringItemsThatDoNotFit) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::string before;
        std::string expected;
        std::uint32_t cursor;
    } cases[] = {
        {"absent flag", {0x00, 3, 0, 0, 0}, "keep", "keep", 1},
        {"empty item keeps the target", {0x01, 0, 0, 0, 0}, "keep", "keep", 5},
        {"empty item, empty target", {0x01, 0, 0, 0, 0}, "", "", 5},
        {"ends inside the length", {0x01, 3, 0}, "keep", "keep", 1},
        {"text runs past the end", {0x01, 9, 0, 0, 0, 'a', 'b'}, "keep", "", 5},
        {"huge length", {0x01, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}, "", "", 5},
        {"NUL cuts the text", {0x01, 5, 0, 0, 0, 'a', 'b', 0, 'c', 'd'}, "", "ab", 10},
        {"nothing left", {}, "keep", "keep", 0},
    };
    for (const Case& c : cases) {
        VeskMemoryArchive archive;
        Fill(archive, c.bytes);
        std::string target = c.before;
        archive.ReadStringItem(target);
        EXPECT_EQ(target, c.expected) << c.name;
        EXPECT_EQ(archive.GetCursor(), c.cursor) << c.name;
    }
}

TEST(VeskMemoryArchive, GrowsInStepsOfAtLeast256) {
    VeskMemoryArchive archive;
    archive.WriteValueItem(std::int32_t{1});
    EXPECT_EQ(archive.GetCapacity(), 256u);
    const std::string big(1000, 'x');
    archive.WriteStringItem(big);
    EXPECT_EQ(archive.GetLength(), 8u + 5u + 1000u);
    EXPECT_GE(archive.GetCapacity(), archive.GetLength());
}

TEST(VeskMemoryBuffer, LoadFromFile) {
    ScopedPrefixlessSession session;
    session.Data().WriteFile("db", std::string("\x04\x00\x00\x00\x01\x00\x00\x00", 8));
    session.Data().WriteFile("empty", "");
    VeskMemoryBuffer buffer;
    EXPECT_TRUE(buffer.LoadFromFile(ZPath(session.Data().Sub("db"))));
    EXPECT_EQ(buffer.GetLength(), 8u);
    EXPECT_EQ(buffer.GetCapacity(), 8u);
    EXPECT_EQ(buffer.GetCursor(), 0u);
    EXPECT_FALSE(buffer.LoadFromFile(ZPath(session.Data().Sub("empty"))));
    EXPECT_EQ(buffer.GetLength(), 0u);
    EXPECT_FALSE(buffer.LoadFromFile(ZPath(session.Data().Sub("missing"))));
    EXPECT_FALSE(buffer.LoadFromFile(ZPath(session.Data().Path())));
}
