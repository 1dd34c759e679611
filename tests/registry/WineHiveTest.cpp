// Wine's registry file format: reading, writing back, and hostile input.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>

#include "registry/WineHive.h"
#include "testlib/TempFolder.h"

namespace mailwright {
namespace {

std::string ReadData(const std::string& relative) {
    std::ifstream in(std::string(MW_TEST_DATA_DIR) + "/" + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

RegistryKeyNode* Find(WineHive& hive, std::initializer_list<std::u16string_view> path) {
    RegistryKeyNode* node = &hive.Root();
    for (std::u16string_view name : path) {
        node = node->FindSubKey(name);
        if (!node) return nullptr;
    }
    return node;
}

std::vector<std::uint8_t> Utf16(std::u16string_view text, bool withNul = true) {
    std::vector<std::uint8_t> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    if (withNul) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

// A key's decoded content, compared between a hive and the hive read back from its text.
struct KeyContent {
    std::vector<RegistryValue> values;
    std::optional<std::u16string> className;
    std::uint64_t modified = 0;
    bool isLink = false;

    bool operator==(const KeyContent&) const = default;
};

// Every key by its path, in the tree's order. With `asWritten`, a key written anew that has
// subkeys but no lines of its own (Wine writes none) reads back without its time.
std::vector<std::pair<std::u16string, KeyContent>> KeysOf(WineHive& hive, bool asWritten) {
    std::vector<std::pair<std::u16string, KeyContent>> keys;
    std::vector<std::pair<RegistryKeyNode*, std::u16string>> pending{{&hive.Root(), u""}};
    std::string error;
    while (!pending.empty()) {
        auto [node, path] = pending.back();
        pending.pop_back();
        EXPECT_TRUE(hive.Decode(*node, error)) << error;
        KeyContent key{node->Values(), node->ClassName(), node->Modified(), node->isLink};
        if (asWritten && node->changed && !node->SubKeys().empty() && key.values.empty() && !key.className &&
            !key.isLink)
            key.modified = 0;
        keys.emplace_back(path, std::move(key));
        for (RegistryKeyNode* sub : node->SubKeys()) pending.emplace_back(sub, path + u"\\" + std::u16string(sub->Name()));
    }
    return keys;
}

void MarkEveryKeyChanged(RegistryKeyNode& node) {
    if (node.textLength > 0) node.changed = true;
    for (RegistryKeyNode* sub : node.SubKeys()) MarkEveryKeyChanged(*sub);
}

// The hive's text read again holds the same keys, named alike but for case.
void ExpectReadsBackTo(WineHive& hive, bool asWritten, const std::string& where) {
    const auto keys = KeysOf(hive, asWritten);
    WineHive again;
    std::string error;
    ASSERT_TRUE(again.Parse(hive.Render(), error)) << where << ": " << error;
    ASSERT_TRUE(again.DecodeAll(error)) << where << ": " << error;
    const auto read = KeysOf(again, false);
    ASSERT_EQ(keys.size(), read.size()) << where;
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_TRUE(RegistryNamesEqual(keys[i].first, read[i].first)) << where << ": key " << i;
        EXPECT_TRUE(keys[i].second == read[i].second) << where << ": key " << i;
    }
}

// The hive of `text` as a store opens it: read whole, no key indexed yet.
class LazyHive {
public:
    explicit LazyHive(const std::string& text) {
        m_folder.WriteFile("user.reg", text);
        const int fd = ::open(m_folder.Sub("user.reg").c_str(), O_RDONLY);
        std::string error;
        m_opened = fd >= 0 && m_hive.OpenFile(fd, text.size(), error);
        m_error = error;
    }
    WineHive& Hive() { return m_hive; }
    bool Opened() const { return m_opened; }
    const std::string& Error() const { return m_error; }

private:
    testing::TempFolder m_folder;
    WineHive m_hive;
    bool m_opened = false;
    std::string m_error;
};

TEST(WineHive, RealHivesComeBackByteForByte) {
    for (const char* name : {"wine-prefix-win7-64/system.reg", "wine-prefix-win7-64/user.reg"}) {
        const std::string text = ReadData(name);
        ASSERT_FALSE(text.empty()) << name;
        WineHive hive;
        std::string error;
        ASSERT_TRUE(hive.Parse(text, error)) << name << ": " << error;
        EXPECT_EQ("win64", hive.Arch());
        EXPECT_TRUE(hive.Render() == text) << name;
        // Keys decoded but not changed keep their lines too.
        ASSERT_TRUE(hive.DecodeAll(error)) << name << ": " << error;
        EXPECT_TRUE(hive.Render() == text) << name;
    }
}

TEST(WineHive, ReadingDecodesNoKeyUntilItIsUsed) {
    const std::string text = ReadData("wine-prefix-win7-64/system.reg");
    WineHive hive;
    std::string error;
    ASSERT_TRUE(hive.Parse(text, error)) << error;
    size_t keys = 0;
    std::vector<RegistryKeyNode*> pending{&hive.Root()};
    while (!pending.empty()) {
        RegistryKeyNode* node = pending.back();
        pending.pop_back();
        if (node->textLength > 0) {
            ++keys;
            EXPECT_TRUE(node->NeedsDecoding());
            EXPECT_TRUE(node->Values().empty());
        }
        pending.insert(pending.end(), node->SubKeys().begin(), node->SubKeys().end());
    }
    EXPECT_GT(keys, 8000u);
    RegistryKeyNode* version = Find(hive, {u"Software", u"Microsoft", u"Windows NT", u"CurrentVersion"});
    ASSERT_NE(nullptr, version);
    ASSERT_TRUE(hive.Decode(*version, error)) << error;
    EXPECT_FALSE(version->NeedsDecoding());
    const RegistryValue* current = version->FindValue(u"CurrentVersion");
    ASSERT_NE(nullptr, current);
    EXPECT_EQ(Utf16(u"6.1"), current->data);
}

TEST(WineHive, ChangedKeysAreWrittenAsWineWritesThem) {
    // Every key of the real hives, written anew, gives Wine's own text again.
    const std::string text = ReadData("wine-prefix-win7-64/system.reg");
    WineHive hive;
    std::string error;
    ASSERT_TRUE(hive.Parse(text, error)) << error;
    std::vector<RegistryKeyNode*> pending{&hive.Root()};
    while (!pending.empty()) {
        RegistryKeyNode* node = pending.back();
        pending.pop_back();
        ASSERT_TRUE(hive.Decode(*node, error)) << error;
        if (node->textLength > 0) node->changed = true;
        pending.insert(pending.end(), node->SubKeys().begin(), node->SubKeys().end());
    }
    EXPECT_TRUE(hive.Render() == text);
}

TEST(WineHive, ReadsEveryConstruct) {
    const std::string text =
        "WINE REGISTRY Version 2\n"
        ";; All keys relative to \\\\Machine\n"
        "\n#arch=win32\n"
        "\n[Software\\\\A\\[x\\]] 1700000000\n"
        "#time=1d9d3a1b2c3d4e5\n"
        "#class=\"Cls\"\n"
        "@=\"default \\\"quoted\\\" \\\\ back\"\n"
        "\"Expand\"=str(2):\"%USERPROFILE%\\\\x\"\n"
        "\"Multi\"=str(7):\"a\\0b\\0\"\n"
        "\"Str\"=str:\"old\"\n"
        "\"Dword\"=dword:000004e2\n"
        "\"Bin\"=hex:01,02,\\\n  03\n"
        "\"None\"=hex(0):\n"
        "\"Odd\"=hex(1):61,00,62,00\n"
        "\"Unicode\"=\"caf\\xe9 \\x20ac1 \\t\\e\\01\"\n"
        "\"Raw\"=\"na\xc3\xafve\"\n"
        "\"Big\"=hex(ffff0007):03,00,00,00\n"
        "\r\n[Software\\\\Link] 1700000000\r\n"
        "#link\r\n"
        "\"SymbolicLinkValue\"=hex(6):41,00\r\n";
    WineHive hive;
    std::string error;
    ASSERT_TRUE(hive.Parse(text, error)) << error;
    EXPECT_EQ("win32", hive.Arch());
    RegistryKeyNode* key = Find(hive, {u"software", u"a[X]"});
    ASSERT_NE(nullptr, key);
    ASSERT_TRUE(hive.Decode(*key, error)) << error;
    EXPECT_EQ(0x1d9d3a1b2c3d4e5ULL, key->Modified());
    EXPECT_EQ(u"Cls", key->ClassName().value_or(u""));
    struct Expected {
        std::u16string name;
        DWORD type;
        std::vector<std::uint8_t> data;
    };
    const Expected expected[] = {
        {u"", REG_SZ, Utf16(u"default \"quoted\" \\ back")},
        {u"Expand", REG_EXPAND_SZ, Utf16(u"%USERPROFILE%\\x")},
        {u"Multi", REG_MULTI_SZ, Utf16(std::u16string(u"a\0b\0", 4))},
        {u"Str", REG_SZ, Utf16(u"old")},
        {u"Dword", REG_DWORD, {0xE2, 0x04, 0, 0}},
        {u"Bin", REG_BINARY, {1, 2, 3}},
        {u"None", REG_NONE, {}},
        {u"Odd", REG_SZ, {0x61, 0, 0x62, 0}},
        {u"Unicode", REG_SZ, Utf16(u"caf\u00e9 \u20ac1 \t\x1b\x01")},
        {u"Raw", REG_SZ, Utf16(u"na\u00efve")},
        {u"Big", 0xffff0007, {3, 0, 0, 0}},
    };
    for (const Expected& e : expected) {
        const RegistryValue* value = key->FindValue(e.name);
        ASSERT_NE(nullptr, value) << std::string(e.name.begin(), e.name.end());
        EXPECT_EQ(e.type, value->type) << std::string(e.name.begin(), e.name.end());
        EXPECT_EQ(e.data, value->data) << std::string(e.name.begin(), e.name.end());
    }
    RegistryKeyNode* link = Find(hive, {u"Software", u"Link"});
    ASSERT_NE(nullptr, link);
    hive.CheckLink(*link);  // known without decoding the values
    EXPECT_TRUE(link->isLink);
    EXPECT_TRUE(link->NeedsDecoding());
    hive.CheckLink(*key);
    EXPECT_FALSE(key->isLink);
    EXPECT_TRUE(hive.Render() == text);  // unchanged keys keep their lines, CR LF and all
}

TEST(WineHive, WritesValuesTheWayWineDoes) {
    WineHive hive;
    hive.SetNewHeader("REGISTRY\\\\Machine", "win64");
    RegistryKeyNode& key = hive.Root().AddSubKey(u"Software", 0).AddSubKey(u"K[1]", 0x1d9d3a1b2c3d4e5ULL);
    key.changed = true;
    key.SetValue(u"", REG_SZ, Utf16(u"x\"y\\z"));
    key.SetValue(u"Exp", REG_EXPAND_SZ, Utf16(u"%A%"));
    key.SetValue(u"Uni", REG_SZ, Utf16(u"\u00e9a\u00e9g\x01" u"7\x02"));
    key.SetValue(u"NoNul", REG_SZ, Utf16(u"ab", false));
    key.SetValue(u"Short", REG_DWORD, {1, 2});
    key.SetValue(u"D", REG_DWORD, {0xE2, 0x04, 0, 0});
    key.SetValue(u"Long", REG_BINARY, std::vector<std::uint8_t>(40, 0xAB));
    const std::string expected =
        "WINE REGISTRY Version 2\n"
        ";; All keys relative to REGISTRY\\\\Machine\n"
        "\n#arch=win64\n"
        "\n[Software\\\\K\\[1\\]] 1692561942\n"
        "#time=1d9d3a1b2c3d4e5\n"
        "@=\"x\\\"y\\\\z\"\n"
        "\"D\"=dword:000004e2\n"
        "\"Exp\"=str(2):\"%A%\"\n"
        "\"Long\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\n"
        "  ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab\n"
        "\"NoNul\"=hex(1):61,00,62,00\n"
        "\"Short\"=hex(4):01,02\n"
        "\"Uni\"=\"\\x00e9a\\xe9g\\0017\\2\"\n";
    EXPECT_EQ(expected, hive.Render());
}

// A string value's final NUL is its terminator and is not written; a name's or class's
// is part of it, and a key or value named with it written anew must not come back as the
// key or value named without it.
TEST(WineHive, NamesEndingInNulKeepItWhenWrittenAnew) {
    const std::string text =
        "WINE REGISTRY Version 2\n\n[A]\n#class=\"c\\0\"\n@=\"d\"\n\"\\0\"=\"n\\0\"\n"
        "\"v\"=\"1\"\n\"v\\0\"=\"2\"\n\n[A\\0]\n\"k\"=\"3\"\n";
    WineHive hive;
    std::string error;
    ASSERT_TRUE(hive.Parse(text, error)) << error;
    ASSERT_TRUE(hive.DecodeAll(error)) << error;
    for (RegistryKeyNode* key : hive.Root().SubKeys()) key->changed = true;
    WineHive again;
    ASSERT_TRUE(again.Parse(hive.Render(), error)) << error;
    ASSERT_TRUE(again.DecodeAll(error)) << error;
    RegistryKeyNode* a = Find(again, {u"A"});
    RegistryKeyNode* a0 = Find(again, {std::u16string_view(u"A\0", 2)});
    ASSERT_TRUE(a && a0);
    EXPECT_EQ(std::u16string(u"c\0", 2), a->ClassName());
    ASSERT_EQ(4u, a->Values().size());
    const std::pair<std::u16string, std::vector<std::uint8_t>> expected[] = {
        {u"", Utf16(u"d")},
        {std::u16string(u"\0", 1), Utf16(std::u16string_view(u"n\0", 2))},
        {u"v", Utf16(u"1")},
        {std::u16string(u"v\0", 2), Utf16(u"2")},
    };
    for (const auto& [name, data] : expected) {
        const RegistryValue* value = a->FindValue(name);
        ASSERT_TRUE(value) << name.size();
        EXPECT_EQ(data, value->data);
    }
    ASSERT_EQ(1u, a0->Values().size());
    EXPECT_EQ(u"k", a0->Values()[0].name);
}

// A header not laid out as Wine's, or text with a NUL byte, is not a hive.
TEST(WineHive, TextNotLaidOutAsAHiveIsRefusedWithTheLine) {
    const std::string header = "WINE REGISTRY Version 2\n;; c\n\n";
    struct Case {
        const char* what;
        std::string text;
        const char* line;
    };
    const Case cases[] = {
        {"empty file", "", "line 1:"},
        {"other header", "WINE REGISTRY Version 1\n", "line 1:"},
        {"value before a key", header + "\"a\"=\"b\"\n", "line 4:"},
        {"garbage before the first key", header + "what is this\n[A] 1\n", "line 4:"},
        {"nul byte in a key line", header + std::string("[A\0] 1\n", 8), "line 4:"},
    };
    for (const Case& c : cases) {
        WineHive hive;
        std::string error;
        EXPECT_FALSE(hive.Parse(c.text, error)) << c.what;
        EXPECT_TRUE(error.starts_with(c.line)) << c.what << ": " << error;
        EXPECT_TRUE(hive.Root().SubKeys().empty()) << c.what;
    }
}

// Value lines Wine reads only in part, or skips: read as Wine reads them (seen with Wine 8
// for the dwords, the hex data, the unclosed string, the text after a string, the
// unknown type and the missing '='), and kept as they were when the key is written anew.
TEST(WineHive, MalformedValuesAreReadAsWineReadsThemAndKept) {
    const std::string header = "WINE REGISTRY Version 2\n;; c\n\n[A] 1\n";
    const std::string after = "\n\n[B] 1\n\"g\"=dword:00000001\n";
    struct Case {
        const char* what;
        std::string lines;
        std::optional<RegistryValue> value;  // none: Wine makes no value of the line
        std::optional<std::u16string> className = std::nullopt;
    };
    const auto dword = [](std::uint32_t n) {
        return std::vector<std::uint8_t>{static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                                         static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
    };
    const RegistryValue none{u"v", REG_NONE, {}};
    const Case cases[] = {
        {"nine dword digits", "\"v\"=dword:123456789", RegistryValue{u"v", REG_DWORD, dword(0x23456789)}},
        {"a non-hex dword digit", "\"v\"=dword:12x4", RegistryValue{u"v", REG_DWORD, dword(0x12)}},
        {"an empty dword", "\"v\"=dword:", RegistryValue{u"v", REG_DWORD, dword(0)}},
        {"a negative dword", "\"v\"=dword:-1", RegistryValue{u"v", REG_DWORD, dword(0xFFFFFFFF)}},
        {"a dword with 0x", "\"v\"=dword: 0x10", RegistryValue{u"v", REG_DWORD, dword(0x10)}},
        {"hex:zz", "\"v\"=hex:zz", none},
        {"hex data cut by zz", "\"v\"=hex:01,zz", none},
        {"a hex byte of three digits", "\"v\"=hex:123", none},
        {"a bad hex type", "\"v\"=hex(zz):00", none},
        {"an unknown type", "\"v\"=qword:1", none},
        {"str(3)", "\"v\"=str(3):\"x\"", none},
        {"an unclosed string", "\"v\"=\"abc", none},
        {"a string ending in a backslash", "\"v\"=\"abc\\", none},
        {"text after a string", "\"v\"=\"a\" junk", RegistryValue{u"v", REG_SZ, Utf16(u"a")}},
        {"bad UTF-8, dropped", "\"v\"=\"\xc3\x28\"", RegistryValue{u"v", REG_SZ, Utf16(u"(")}},
        {"a value name without its quote", "\"v=\"abc\"", std::nullopt},
        {"no equals sign", "\"v\" \"abc\"", std::nullopt},
        {"a garbage line", "what is this", std::nullopt},
        {"an unclosed class", "#class=\"k", std::nullopt},
        {"text after a class", "#class=\"k\" junk", std::nullopt, u"k"},
    };
    for (const Case& c : cases) {
        const std::string text = header + c.lines + after;
        WineHive hive;
        std::string error;
        ASSERT_TRUE(hive.Parse(text, error)) << c.what << ": " << error;
        RegistryKeyNode* key = Find(hive, {u"A"});
        ASSERT_NE(nullptr, key) << c.what;
        ASSERT_TRUE(hive.Decode(*key, error)) << c.what << ": " << error;
        ASSERT_EQ(c.value ? 1u : 0u, key->Values().size()) << c.what;
        if (c.value) {
            EXPECT_EQ(c.value->type, key->Values()[0].type) << c.what;
            EXPECT_EQ(c.value->data, key->Values()[0].data) << c.what;
        }
        EXPECT_EQ(c.className, key->ClassName()) << c.what;
        EXPECT_TRUE(hive.Render() == text) << c.what;  // unchanged, the key keeps its lines
        // Written anew, the key holds the line as it was, and reads back the same.
        key->SetValue(u"w", REG_DWORD, dword(7));
        key->changed = true;
        const std::string written = hive.Render();
        if (!c.className) {  // a class read in part is written anew
            EXPECT_NE(std::string::npos, written.find(c.lines + "\n")) << c.what << ": " << written;
        }
        WineHive again;
        ASSERT_TRUE(again.Parse(written, error)) << c.what << ": " << error;
        ASSERT_TRUE(again.DecodeAll(error)) << c.what << ": " << error;
        EXPECT_EQ(key->Values(), Find(again, {u"A"})->Values()) << c.what;
        ASSERT_NE(nullptr, Find(again, {u"B"})->FindValue(u"g")) << c.what;
    }
}

TEST(WineHive, HexDataContinuedPastTheEndIsAnEmptyValue) {
    WineHive hive;
    std::string error;
    ASSERT_TRUE(hive.Parse("WINE REGISTRY Version 2\n;; c\n\n[A] 1\n\"v\"=hex:00,\\\n", error)) << error;
    RegistryKeyNode* key = Find(hive, {u"A"});
    ASSERT_TRUE(hive.Decode(*key, error)) << error;
    ASSERT_NE(nullptr, key->FindValue(u"v"));
    EXPECT_EQ(REG_NONE, key->FindValue(u"v")->type);
    EXPECT_TRUE(key->FindValue(u"v")->data.empty());
}

TEST(WineHive, AValueTheProgramWritesReplacesTheLineItWasReadFrom) {
    WineHive hive;
    std::string error;
    ASSERT_TRUE(hive.Parse("WINE REGISTRY Version 2\n\n[A] 1\n\"v\"=dword:123456789\n", error)) << error;
    RegistryKeyNode* key = Find(hive, {u"A"});
    ASSERT_TRUE(hive.Decode(*key, error)) << error;
    key->SetValue(u"V", REG_DWORD, {1, 0, 0, 0});
    key->changed = true;
    const std::string written = hive.Render();
    EXPECT_NE(std::string::npos, written.find("\"v\"=dword:00000001\n")) << written;
    EXPECT_EQ(std::string::npos, written.find("123456789")) << written;
}

TEST(WineHive, ANulByteInAKeysLinesFailsTheKey) {
    const std::string text = "WINE REGISTRY Version 2\n;; c\n\n[A] 1\n" + std::string("\"v\"=\"a\0b\"", 9) + "\n";
    WineHive hive;
    std::string error;
    ASSERT_TRUE(hive.Parse(text, error)) << error;
    RegistryKeyNode* key = Find(hive, {u"A"});
    EXPECT_FALSE(hive.Decode(*key, error));
    EXPECT_EQ("line 5: a NUL byte", error);
    EXPECT_TRUE(key->NeedsDecoding());
    EXPECT_TRUE(hive.Render() == text);
}

// Key lines Wine cannot read: Wine skips them and the lines after them up to the next key
// (seen with Wine 8 for a line without its closing bracket). They stay in the text.
TEST(WineHive, KeyLinesWineCannotReadAreSkippedAndKept) {
    const std::string tooDeep = [] {
        std::string path = "a";
        for (int i = 0; i < 600; ++i) path += "\\\\a";
        return path;
    }();
    const std::string cases[] = {
        "[Software\\\\A 123",
        "[" + std::string(256, 'n') + "] 1",
        "[" + tooDeep + "] 1",
        "[\\\\Leading] 1",
    };
    for (const std::string& damaged : cases) {
        for (const bool first : {true, false}) {
            const std::string early = first ? "" : "\n[Early] 1\n\"b\"=\"1\"\n";
            const std::string text =
                "WINE REGISTRY Version 2\n;; c\n" + early + "\n" + damaged + "\n\"x\"=\"y\"\n\n[Late] 1\n\"a\"=\"2\"\n";
            WineHive hive;
            std::string error;
            ASSERT_TRUE(hive.Parse(text, error)) << damaged << ": " << error;
            ASSERT_TRUE(hive.DecodeAll(error)) << damaged << ": " << error;
            EXPECT_EQ(first ? 1u : 2u, hive.Root().SubKeys().size()) << damaged;
            ASSERT_NE(nullptr, Find(hive, {u"Late"})) << damaged;
            EXPECT_EQ(1u, Find(hive, {u"Late"})->Values().size()) << damaged;
            if (!first) {
                EXPECT_EQ(1u, Find(hive, {u"Early"})->Values().size()) << damaged;
            }
            EXPECT_EQ(text, hive.Render()) << damaged;
            for (RegistryKeyNode* key : hive.Root().SubKeys()) key->changed = true;
            const std::string written = hive.Render();
            EXPECT_NE(std::string::npos, written.find("\n" + damaged + "\n\"x\"=\"y\"\n")) << written;
            LazyHive lazy(text);
            ASSERT_TRUE(lazy.Opened()) << lazy.Error();
            ASSERT_TRUE(lazy.Hive().IndexAll(error)) << error;
            EXPECT_TRUE(lazy.Hive().Render() == text) << damaged;
        }
    }
}

// Wine reads a run of separators as one, a separator at the end as none, and the seconds
// of a key line as sscanf(" %u") reads them.
TEST(WineHive, KeyLinesAreReadAsWineReadsThem) {
    const std::string text =
        "WINE REGISTRY Version 2\n\n[A\\\\\\\\B] 12x\n\"v\"=\"1\"\n\n[A\\\\C\\\\] 1\n\"w\"=\"2\"\n";
    WineHive hive;
    std::string error;
    ASSERT_TRUE(hive.Parse(text, error)) << error;
    ASSERT_TRUE(hive.DecodeAll(error)) << error;
    RegistryKeyNode* b = Find(hive, {u"A", u"B"});
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(116444736000000000ULL + 12 * 10000000ULL, b->Modified());
    ASSERT_NE(nullptr, Find(hive, {u"A", u"C"}));
    EXPECT_EQ(2u, Find(hive, {u"A"})->SubKeys().size());
    EXPECT_TRUE(hive.Render() == text);
}

size_t CountKeys(RegistryKeyNode& root) {
    size_t keys = 0;
    std::vector<RegistryKeyNode*> pending{&root};
    while (!pending.empty()) {
        RegistryKeyNode* node = pending.back();
        pending.pop_back();
        ++keys;
        pending.insert(pending.end(), node->SubKeys().begin(), node->SubKeys().end());
    }
    return keys;
}

TEST(WineHive, AFileIsReadInPiecesAndItsKeysFromTheFile) {
    // Several megabytes read in pieces of one megabyte: one key line runs across the
    // first piece's end, so that the second piece begins with it; one line is longer
    // than a piece.
    constexpr size_t kPiece = 1 << 20;
    std::string text = "WINE REGISTRY Version 2\n;; c\n\n#arch=win32\n";
    const auto key = [&](int i) {
        text += "\n[Software\\\\Bulk\\\\Key" + std::to_string(100000 + i) + "] 1700000000\n#time=1da0a5f0e0b3c00\n" +
                "\"Value\"=\"" + std::string(static_cast<size_t>(i % 97), 'x') + "\"\n";
    };
    int i = 0;
    while (text.size() < kPiece - 300) key(i++);
    text += ";" + std::string(kPiece - 8 - text.size(), 'c') + "\n";
    ASSERT_EQ(kPiece - 5, text.size() + 1);  // after the blank line that key() begins with
    while (text.size() < 3 * kPiece) {
        key(i++);
        if (i == 15000) {
            text += "\"Long\"=hex:";
            for (int b = 0; b < 500000; ++b) text += b ? ",ab" : "ab";
            text += "\n";
        }
    }
    testing::TempFolder folder;
    folder.WriteFile("user.reg", text);
    const int fd = ::open(folder.Sub("user.reg").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    WineHive fromFile;
    std::string error;
    ASSERT_TRUE(fromFile.ParseFile(fd, text.size(), error)) << error;
    WineHive inMemory;
    ASSERT_TRUE(inMemory.Parse(text, error)) << error;
    EXPECT_EQ(CountKeys(inMemory.Root()), CountKeys(fromFile.Root()));
    EXPECT_EQ("win32", fromFile.Arch());
    RegistryKeyNode* longest = Find(fromFile, {u"Software", u"Bulk", u"Key114999"});
    ASSERT_NE(nullptr, longest);
    ASSERT_TRUE(fromFile.Decode(*longest, error)) << error;
    ASSERT_NE(nullptr, longest->FindValue(u"Long"));
    EXPECT_EQ(500000u, longest->FindValue(u"Long")->data.size());
    EXPECT_TRUE(fromFile.Render() == text);
    ASSERT_TRUE(fromFile.DecodeAll(error)) << error;
}

TEST(WineHive, DamagedTextNeverCrashesAndWritesBackWhatItRead) {
    const std::string text =
        "WINE REGISTRY Version 2\n;; c\n\n#arch=win64\n\n[A\\\\B\\[c\\]] 1700000000\n#time=1d9d3a1b2c3d4e5\n"
        "#class=\"k\"\n@=\"d\\x20ac\\\"\\0\"\n\"s\"=str(7):\"a\\0b\\0\"\n\"h\"=hex(2):41,00,\\\n  42,00\n"
        "\"n\"=dword:0000000a\n\n[A\\\\L] 1700000000\n#link\n\"SymbolicLinkValue\"=hex(6):41,00\n";
    const char replacements[] = {'\\', '"', '[', ']', '\n', ',', 'x', '0', '@', '#', ':', '(', '\xc3', '\0'};
    for (size_t at = 0; at < text.size(); ++at) {
        for (char c : replacements) {
            for (const std::string& damaged : {std::string(text).replace(at, 1, 1, c), text.substr(0, at)}) {
                WineHive hive;
                std::string error;
                if (!hive.Parse(damaged, error)) continue;
                const std::string where = std::to_string(at) + " by byte " + std::to_string(static_cast<unsigned char>(c));
                if (!hive.DecodeAll(error)) {
                    // A key that does not decode is kept as read: the text still reads.
                    WineHive again;
                    EXPECT_TRUE(again.Parse(hive.Render(), error)) << where << ": " << error;
                    continue;
                }
                // The same keys and values come back, as read and with every key written anew.
                ExpectReadsBackTo(hive, false, where);
                MarkEveryKeyChanged(hive.Root());
                ExpectReadsBackTo(hive, true, where);
            }
        }
    }
}

TEST(WineHive, KeysGivenTwiceAreMergedAndWrittenOnce) {
    const std::string text =
        "WINE REGISTRY Version 2\n\n[B] 1700000000\n\"x\"=\"1\"\n\n[A] 1700000000\n\"y\"=\"2\"\n"
        "\n[b] 1700000000\n\"z\"=\"3\"\n";
    WineHive hive;
    std::string error;
    ASSERT_TRUE(hive.Parse(text, error)) << error;
    const std::string out = hive.Render();
    EXPECT_EQ(std::string::npos, out.find("[b]"));
    EXPECT_LT(out.find("[A]"), out.find("[B]"));
    EXPECT_NE(std::string::npos, out.find("\"x\"=\"1\"\n\"z\"=\"3\"\n"));
}


std::vector<std::u16string> Path(std::initializer_list<std::u16string_view> names) {
    return std::vector<std::u16string>(names.begin(), names.end());
}

// Whether two keys hold the same: values, class, link, and the same subkeys alike.
::testing::AssertionResult SameKeys(WineHive& a, RegistryKeyNode& x, WineHive& b, RegistryKeyNode& y) {
    const std::string name(x.Name().begin(), x.Name().end());
    std::string errorA, errorB;
    const bool decodedA = a.Decode(x, errorA);
    if (decodedA != b.Decode(y, errorB) || errorA != errorB)  // damaged lines fail alike
        return ::testing::AssertionFailure() << "decoding " << name << ": " << errorA << " / " << errorB;
    if (decodedA && (x.Values() != y.Values() || x.ClassName() != y.ClassName() || x.Modified() != y.Modified()))
        return ::testing::AssertionFailure() << "the content of " << name;
    a.CheckLink(x);
    b.CheckLink(y);
    if (x.isLink != y.isLink) return ::testing::AssertionFailure() << "the link of " << name;
    if (x.SubKeys().size() != y.SubKeys().size()) return ::testing::AssertionFailure() << "the subkeys of " << name;
    for (size_t i = 0; i < x.SubKeys().size(); ++i) {
        if (x.SubKeys()[i]->Name() != y.SubKeys()[i]->Name()) return ::testing::AssertionFailure() << "a subkey of " << name;
        if (auto same = SameKeys(a, *x.SubKeys()[i], b, *y.SubKeys()[i]); !same) return same;
    }
    return ::testing::AssertionSuccess();
}

// After IndexPath, the keys on the way to the path and every key below it are as a
// hive read whole has them, for the path itself and for the path with a Wow6432Node
// level stepped into anywhere.
::testing::AssertionResult IndexedAsWhole(const std::string& text, const std::vector<std::u16string>& path) {
    WineHive whole;
    std::string error;
    if (!whole.Parse(text, error)) return ::testing::AssertionFailure() << error;
    LazyHive lazy(text);
    if (!lazy.Opened()) return ::testing::AssertionFailure() << lazy.Error();
    if (!lazy.Hive().IndexPath(path, error)) return ::testing::AssertionFailure() << error;
    // Every way to the path: each level directly, or through a Wow6432Node first.
    std::vector<std::pair<RegistryKeyNode*, RegistryKeyNode*>> ways{{&whole.Root(), &lazy.Hive().Root()}};
    for (size_t level = 0; level <= path.size(); ++level) {
        std::vector<std::pair<RegistryKeyNode*, RegistryKeyNode*>> next;
        for (auto [x, y] : ways) {
            std::string error2;
            if (!whole.Decode(*x, error2) || !lazy.Hive().Decode(*y, error2)) return ::testing::AssertionFailure() << error2;
            if (x->Values() != y->Values() || x->Modified() != y->Modified())
                return ::testing::AssertionFailure() << "a key on the way, level " << level;
            if (level == path.size()) {
                if (auto same = SameKeys(whole, *x, lazy.Hive(), *y); !same) return same;
                continue;
            }
            for (std::u16string_view name : {std::u16string_view(path[level]), std::u16string_view(u"Wow6432Node")}) {
                RegistryKeyNode* wx = x->FindSubKey(name);
                RegistryKeyNode* wy = y->FindSubKey(name);
                if (!wx != !wy) return ::testing::AssertionFailure() << "key present in one only, level " << level;
                if (!wx) continue;
                if (name == path[level]) next.emplace_back(wx, wy);
                else ways.emplace_back(wx, wy);  // a Wow6432Node: the same level again, from there
            }
        }
        ways = std::move(next);
    }
    return ::testing::AssertionSuccess();
}

TEST(WineHive, KeysIndexedForALookupAreThoseOfTheWholeHive) {
    // Out of order, given twice, in other cases, escaped, in UTF-8, indented, names
    // that begin alike, Wow6432Node levels.
    const std::string text =
        "WINE REGISTRY Version 2\n;; c\n\n#arch=win64\n"
        "\n[Software\\\\Vend\\x6fr\\\\App] 1600000000\n\"d\"=\"first\"\n\"z\"=\"0\"\n"
        "\n[Software\\\\Vendor\\\\Apple] 1700000000\n\"a\"=\"1\"\n"
        "\n[Software\\\\Vendor\\\\App] 1700000001\n#time=1d9d3a1b2c3d4e5\n\"b\"=\"2\"\n"
        "\n[software\\\\VENDOR\\\\App\\\\Sub] 1700000002\n\"c\"=dword:00000003\n"
        "\n  [Software\\\\Vendor] 1700000003\n@=\"vendor\"\n"
        "\n[Software\\\\Vendor\\\\App] 1700000004\n\"d\"=\"4\"\n"
        "\n[Software\\\\Wow6432Node\\\\Vendor\\\\App] 1700000005\n\"w\"=\"32\"\n"
        "\n[Software\\\\Vendor\\\\Wow6432Node\\\\App\\\\Deep] 1700000006\n\"x\"=\"5\"\n"
        "\n[Software\\\\Caf\\x00e9\\\\Menu] 1700000007\n\"e\"=\"6\"\n"
        "\n[Software\\\\Caf\xc3\xa9\\\\Carte] 1700000008\n\"f\"=\"7\"\n"
        "\n[Software\\\\Vend\\x6fr\\\\Escaped] 1700000009\n\"g\"=\"8\"\n"
        "\n[Software\\\\A\\[1\\]] 1700000010\n\"h\"=\"9\"\n"
        "\n[Other] 1700000011\n\"i\"=\"10\"\n"
        "\n[SOFTWARE\\\\vend\\x6fr\\\\app] 1700000012\n\"y\"=\"last\"\n";
    for (const auto& path :
         {Path({}), Path({u"Software"}), Path({u"SOFTWARE", u"vendor"}), Path({u"Software", u"Vendor", u"App"}),
          Path({u"Software", u"Vendor", u"app", u"sub"}), Path({u"Software", u"Vendor", u"Apple"}),
          Path({u"Software", u"Vendor", u"Missing"}), Path({u"Software", u"Wow6432Node", u"Vendor"}),
          Path({u"Software", u"Caf\u00c9"}), Path({u"Software", u"Caf\u00e9", u"Carte"}),
          Path({u"Software", u"A[1]"}), Path({u"Other"}), Path({u"Nothing", u"Below"})}) {
        std::string shown;
        for (const auto& name : path) shown += "\\" + std::string(name.begin(), name.end());
        EXPECT_TRUE(IndexedAsWhole(text, path)) << shown;
    }
}

TEST(WineHive, KeysIndexedForLookupsOfARealHiveAreThoseOfTheWholeHive) {
    const std::string text = ReadData("wine-prefix-win7-64/system.reg");
    for (const auto& path : {Path({u"Software", u"Microsoft", u"Windows NT", u"CurrentVersion"}),
                             Path({u"Software", u"Classes", u"Wow6432Node", u"CLSID"}),
                             Path({u"Software", u"Wow6432Node", u"Microsoft"}), Path({u"System", u"CurrentControlSet"})})
        EXPECT_TRUE(IndexedAsWhole(text, path)) << std::string(path.back().begin(), path.back().end());
}

TEST(WineHive, AHiveIndexedPathByPathIsWrittenBackByteForByte) {
    const std::string text = ReadData("wine-prefix-win7-64/system.reg");
    LazyHive lazy(text);
    ASSERT_TRUE(lazy.Opened()) << lazy.Error();
    WineHive& hive = lazy.Hive();
    EXPECT_EQ("win64", hive.Arch());
    std::string error;
    ASSERT_TRUE(hive.IndexPath(Path({u"Software", u"Microsoft"}), error)) << error;
    EXPECT_FALSE(hive.FullyIndexed());
    EXPECT_FALSE(hive.Write([](std::string_view) { return true; }));  // keys not indexed would be lost
    ASSERT_TRUE(hive.IndexPath(Path({u"Software", u"Classes"}), error)) << error;
    ASSERT_TRUE(hive.IndexAll(error)) << error;
    EXPECT_TRUE(hive.FullyIndexed());
    EXPECT_TRUE(hive.Render() == text);
    WineHive whole;
    ASSERT_TRUE(whole.Parse(text, error)) << error;
    EXPECT_TRUE(SameKeys(whole, whole.Root(), hive, hive.Root()));
}

TEST(WineHive, LookupsSkipTheKeyLinesWineSkips) {
    const std::string text =
        "WINE REGISTRY Version 2\n\n[Bad\\\\\\\\Empty] 1\n\"e\"=\"2\"\n\n[Bad\\\\Unclosed 1\n\"u\"=\"3\"\n"
        "\n[Good\\\\Key] 1\n\"v\"=\"1\"\n\n[Good\\\\Other] 1\n\n[Bad\\\\Unclosed\\\\Too 1\n";
    LazyHive lazy(text);
    ASSERT_TRUE(lazy.Opened()) << lazy.Error();
    std::string error;
    EXPECT_TRUE(lazy.Hive().IndexPath(Path({u"Bad", u"Empty"}), error)) << error;
    RegistryKeyNode* empty = Find(lazy.Hive(), {u"Bad", u"Empty"});
    ASSERT_NE(nullptr, empty);
    ASSERT_TRUE(lazy.Hive().Decode(*empty, error)) << error;
    EXPECT_EQ(1u, empty->Values().size());  // the lines of the skipped key are no values
    EXPECT_TRUE(lazy.Hive().IndexPath(Path({u"Bad", u"Unclosed"}), error)) << error;
    EXPECT_EQ(nullptr, Find(lazy.Hive(), {u"Bad", u"Unclosed"}));
    EXPECT_TRUE(lazy.Hive().IndexAll(error)) << error;
    EXPECT_NE(nullptr, Find(lazy.Hive(), {u"Good", u"Other"}));
    EXPECT_EQ(text, lazy.Hive().Render());
    // A header not laid out as Wine's fails at once, as when the whole hive is read.
    LazyHive header("WINE REGISTRY Version 2\nnot a key\n\n[A] 1\n");
    EXPECT_FALSE(header.Opened());
    EXPECT_EQ("line 2: unrecognized line", header.Error());
}

TEST(WineHive, DamagedTextIndexedPathByPathReadsAsWhenReadWhole) {
    const std::string text =
        "WINE REGISTRY Version 2\n;; c\n\n#arch=win64\n\n[A\\\\B\\[c\\]] 1700000000\n#time=1d9d3a1b2c3d4e5\n"
        "\"s\"=str(7):\"a\\0b\\0\"\n\n[A\\\\Wow6432Node\\\\B] 1700000000\n@=\"w\"\n\n[a\\\\b] 1700000000\n\"n\"=dword:0000000a\n"
        "\n[A\\\\L] 1700000000\n#link\n\"SymbolicLinkValue\"=hex(6):41,00\n";
    const char replacements[] = {'\\', '"', '[', ']', '\n', 'x', '0', '#', '\xc3', '\0'};
    for (size_t at = 0; at < text.size(); ++at) {
        for (char c : replacements) {
            for (const std::string& damaged : {std::string(text).replace(at, 1, 1, c), text.substr(0, at)}) {
                WineHive whole;
                std::string wholeError, error;
                const bool read = whole.Parse(damaged, wholeError);
                LazyHive lazy(damaged);
                if (!lazy.Opened()) {
                    EXPECT_FALSE(read) << at;
                    EXPECT_EQ(wholeError, lazy.Error()) << at;
                    continue;
                }
                lazy.Hive().IndexPath(Path({u"A", u"B"}), error);
                const bool indexed = lazy.Hive().IndexAll(error);
                EXPECT_EQ(read, indexed) << at << ": " << (read ? error : wholeError);
                if (read && indexed) {
                    EXPECT_TRUE(lazy.Hive().Render() == whole.Render()) << at;
                    EXPECT_TRUE(SameKeys(whole, whole.Root(), lazy.Hive(), lazy.Hive().Root())) << at;
                }
            }
        }
    }
}

// Names as Wine's server compares them: through the lower-case table of Wine's
// l_intl.nls, which leaves the signs and title-case letters below as they are. Seen with
// Wine 8: a hive holding each pair as two keys (and two values) is saved back with both,
// but for the pairs marked the same.
struct CasePair {
    const char* what;
    char16_t a, b;
    bool sameForWine;
};

constexpr CasePair kCasePairs[] = {
    {"Kelvin sign / k", u'\u212A', u'k', false},     {"Kelvin sign / K", u'\u212A', u'K', false},
    {"I with dot / i", u'\u0130', u'i', false},      {"capital sharp s / sharp s", u'\u1E9E', u'\u00DF', false},
    {"Ohm sign / omega", u'\u2126', u'\u03C9', false}, {"Angstrom sign / a ring", u'\u212B', u'\u00E5', false},
    {"theta symbol / theta", u'\u03F4', u'\u03B8', false}, {"Dz / dz", u'\u01C5', u'\u01C6', false},
    {"Dz / DZ", u'\u01C5', u'\u01C4', false},        {"dz / DZ", u'\u01C6', u'\u01C4', true},
    {"Lj / lj", u'\u01C8', u'\u01C9', false},        {"Nj / nj", u'\u01CB', u'\u01CC', false},
    {"Dz (ligature) / dz", u'\u01F2', u'\u01F3', false}, {"A / a", u'A', u'a', true},
    {"Alpha / alpha", u'\u0391', u'\u03B1', true},
};

std::string Escaped(char16_t c) {
    char buffer[16];
    std::snprintf(buffer, sizeof(buffer), c > 127 ? "\\x%04x" : "%c", static_cast<unsigned>(c));
    return buffer;
}

TEST(WineHive, KeyAndValueNamesMatchAsWineMatchesThem) {
    for (const CasePair& pair : kCasePairs) {
        const std::u16string a = std::u16string(1, pair.a) + u"x", b = std::u16string(1, pair.b) + u"x";
        const std::string text = "WINE REGISTRY Version 2\n\n[T\\\\" + Escaped(pair.a) + "x] 1\n\"v\"=\"0\"\n\n[T\\\\" +
                                 Escaped(pair.b) + "x] 1\n\"v\"=\"1\"\n\n[V] 1\n\"" + Escaped(pair.a) + "\"=\"0\"\n\"" +
                                 Escaped(pair.b) + "\"=\"1\"\n";
        WineHive hive;
        std::string error;
        ASSERT_TRUE(hive.Parse(text, error)) << pair.what << ": " << error;
        // A key changed beside them makes the hive be written anew around them.
        hive.Root().AddSubKey(u"New", RegistryTimeNow()).changed = true;
        WineHive again;
        ASSERT_TRUE(again.Parse(hive.Render(), error)) << pair.what << ": " << error;
        ASSERT_TRUE(again.DecodeAll(error)) << pair.what << ": " << error;
        RegistryKeyNode* keys = Find(again, {u"T"});
        RegistryKeyNode* values = Find(again, {u"V"});
        ASSERT_TRUE(keys && values) << pair.what;
        EXPECT_EQ(pair.sameForWine ? 1u : 2u, keys->SubKeys().size()) << pair.what;
        EXPECT_EQ(pair.sameForWine ? 1u : 2u, values->Values().size()) << pair.what;
        RegistryKeyNode* first = keys->FindSubKey(a);
        RegistryKeyNode* second = keys->FindSubKey(b);
        ASSERT_TRUE(first && second) << pair.what;
        EXPECT_EQ(pair.sameForWine, first == second) << pair.what;
        EXPECT_EQ(a, first->Name()) << pair.what;  // spelt as first read
        EXPECT_EQ(Utf16(pair.sameForWine ? u"1" : u"0"), first->FindValue(u"v")->data) << pair.what;
        EXPECT_EQ(Utf16(u"1"), second->FindValue(u"v")->data) << pair.what;
        const RegistryValue* named = values->FindValue(std::u16string(1, pair.a));
        ASSERT_TRUE(named && values->FindValue(std::u16string(1, pair.b))) << pair.what;
        EXPECT_EQ(Utf16(pair.sameForWine ? u"1" : u"0"), named->data) << pair.what;
    }
}

// Wine saves names in the order of their lower-cased units; seen with Wine 8.
TEST(WineHive, NamesAreOrderedAsWineOrdersThem) {
    const std::pair<std::u16string_view, std::u16string_view> inOrder[] = {
        {u"_a", u"B"}, {u"kx", u"\u212Ax"}, {u"ix", u"\u0130x"}, {u"\u03C9x", u"\u2126x"},
        {u"\u00DFx", u"\u1E9Ex"}, {u"\u00E5x", u"\u212Bx"}, {u"\u01C5x", u"\u01C6x"},
    };
    for (const auto& [before, after] : inOrder) {
        EXPECT_LT(CompareRegistryNames(before, after), 0) << before.size();
        EXPECT_GT(CompareRegistryNames(after, before), 0) << before.size();
    }
}

}  // namespace
}  // namespace mailwright
