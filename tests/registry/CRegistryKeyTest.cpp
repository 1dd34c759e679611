// The registry layer's results and error codes, run against every store.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "registry/MemoryRegistry.h"
#include "registry/CRegistryKey.h"
#include "testlib/RegistryStores.h"

namespace mailwright {
namespace {

using testing::RegistryStoreMaker;

class CRegistryKeyTest : public ::testing::TestWithParam<RegistryStoreMaker> {
protected:
    void SetUp() override { m_store = GetParam().make(m_folder); }

    // A key of the store, opened for writing.
    std::unique_ptr<CRegistryKey> WriteKey(HKEY root, const char* path) {
        auto key = std::make_unique<CRegistryKey>(m_store);
        EXPECT_EQ(ERROR_SUCCESS, key->CreateKey(root, path, KEY_READ | KEY_WRITE));
        return key;
    }

    std::vector<std::uint8_t> Raw(CRegistryKey& key, const char* name, DWORD& type) {
        DWORD size = 0;
        EXPECT_EQ(ERROR_SUCCESS, key.QueryValue(name, &type, nullptr, &size));
        std::vector<std::uint8_t> data(size);
        EXPECT_EQ(ERROR_SUCCESS, key.QueryValue(name, &type, data.data(), &size));
        return data;
    }

    testing::TempFolder m_folder;
    std::shared_ptr<RegistryStore> m_store;
};

TEST_P(CRegistryKeyTest, FailedOpenKeepsTheHeldKey) {
    auto key = WriteKey(HKEY_CURRENT_USER, "Software\\Brightfold");
    ASSERT_EQ(ERROR_SUCCESS, key->WriteDword("Kept", 7));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key->OpenKey(HKEY_CURRENT_USER, "Software\\Missing\\Key", KEY_READ));
    DWORD value = 0;
    EXPECT_EQ(ERROR_SUCCESS, key->ReadDword("Kept", value));
    EXPECT_EQ(7u, value);
    EXPECT_EQ(ERROR_SUCCESS, key->WriteDword("StillWritable", 1));
}

TEST_P(CRegistryKeyTest, OpenReplacesTheHeldKeyAndChildrenOpenRelative) {
    auto key = WriteKey(HKEY_CURRENT_USER, "Software\\A\\B\\C");
    ASSERT_EQ(ERROR_SUCCESS, key->WriteString("Where", "C"));
    CRegistryKey parent(m_store);
    ASSERT_EQ(ERROR_SUCCESS, parent.OpenKey(HKEY_CURRENT_USER, "software\\a", KEY_READ));
    CRegistryKey child(m_store);
    ASSERT_EQ(ERROR_SUCCESS, child.OpenKey(parent, "b\\c", KEY_READ));
    std::string text;
    EXPECT_EQ(ERROR_SUCCESS, child.ReadString("where", text, 16));
    EXPECT_EQ("C", text);
    ASSERT_EQ(ERROR_SUCCESS, child.OpenKey(HKEY_CURRENT_USER, "Software\\A", KEY_READ));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, child.ValueExists("Where"));
}

TEST_P(CRegistryKeyTest, ReadStringResults) {
    auto key = WriteKey(HKEY_CURRENT_USER, "Software\\Strings");
    const std::uint8_t unterminated[] = {'a', 'b', 'c'};
    ASSERT_EQ(ERROR_SUCCESS, key->SetValue("Unterminated", REG_SZ, unterminated, 3));
    ASSERT_EQ(ERROR_SUCCESS, key->SetValue("ZeroBytes", REG_SZ, nullptr, 0));
    ASSERT_EQ(ERROR_SUCCESS, key->WriteString("Empty", ""));
    ASSERT_EQ(ERROR_SUCCESS, key->WriteString("Text", "hello"));
    ASSERT_EQ(ERROR_SUCCESS, key->WriteDword("Number", 5));
    const std::uint8_t expand[] = "%USERPROFILE%\\x";
    ASSERT_EQ(ERROR_SUCCESS, key->SetValue("Expand", REG_EXPAND_SZ, expand, sizeof(expand)));

    struct Case {
        const char* name;
        DWORD capacity;
        LONG code;
        const char* text;
        DWORD length;
    };
    const Case cases[] = {
        {"Text", 6, ERROR_SUCCESS, "hello", 6},
        {"TEXT", 100, ERROR_SUCCESS, "hello", 6},
        {"Text", 5, ERROR_MORE_DATA, "", 0},
        {"Empty", 1, ERROR_SUCCESS, "", 1},
        {"ZeroBytes", 0, ERROR_SUCCESS, "", 0},
        {"Unterminated", 16, ERROR_INVALID_DATA, "", 0},
        {"Number", 16, ERROR_INVALID_DATA, "", 0},
        {"Number", 2, ERROR_MORE_DATA, "", 0},
        {"Expand", 64, ERROR_SUCCESS, "%USERPROFILE%\\x", 16},
        {"Absent", 16, ERROR_FILE_NOT_FOUND, "", 0},
    };
    for (const Case& c : cases) {
        std::string text;
        DWORD length = 0xDEADBEEF;
        EXPECT_EQ(c.code, key->ReadString(c.name, text, c.capacity, &length)) << c.name << " " << c.capacity;
        EXPECT_EQ(c.text, text) << c.name;
        EXPECT_EQ(c.length, length) << c.name;
    }
}

TEST_P(CRegistryKeyTest, ReadDwordResults) {
    auto key = WriteKey(HKEY_CURRENT_USER, "Software\\Numbers");
    const std::uint8_t eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(ERROR_SUCCESS, key->SetValue("Eight", REG_BINARY, eight, 8));
    ASSERT_EQ(ERROR_SUCCESS, key->WriteDword("Dword", 0x12345678));
    ASSERT_EQ(ERROR_SUCCESS, key->WriteBinary("Binary", 1250));

    DWORD value = 0xDEADBEEF;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key->ReadDword("Absent", value));
    EXPECT_EQ(0xDEADBEEFu, value);
    EXPECT_EQ(ERROR_MORE_DATA, key->ReadDword("Eight", value));
    EXPECT_EQ(ERROR_SUCCESS, key->ReadDword("Dword", value));
    EXPECT_EQ(0x12345678u, value);
    EXPECT_EQ(ERROR_SUCCESS, key->ReadDword("Binary", value));  // the type is not checked
    EXPECT_EQ(1250u, value);
}

TEST_P(CRegistryKeyTest, WrittenBytesAndTypes) {
    auto key = WriteKey(HKEY_CURRENT_USER, "Software\\Bytes");
    ASSERT_EQ(ERROR_SUCCESS, key->WriteBinary("Binary", 1250));
    ASSERT_EQ(ERROR_SUCCESS, key->WriteDword("Dword", 1250));
    ASSERT_EQ(ERROR_SUCCESS, key->WriteString("Empty", ""));
    DWORD type = 0;
    EXPECT_EQ((std::vector<std::uint8_t>{0xE2, 0x04, 0x00, 0x00}), Raw(*key, "Binary", type));
    EXPECT_EQ(REG_BINARY, type);
    EXPECT_EQ((std::vector<std::uint8_t>{0xE2, 0x04, 0x00, 0x00}), Raw(*key, "Dword", type));
    EXPECT_EQ(REG_DWORD, type);
    EXPECT_EQ((std::vector<std::uint8_t>{0x00}), Raw(*key, "Empty", type));
    EXPECT_EQ(REG_SZ, type);

    EXPECT_EQ(ERROR_INVALID_DATA, key->WriteString("Missing", nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key->ValueExists("Missing"));
}

TEST_P(CRegistryKeyTest, DefaultValueHasTheEmptyOrNullName) {
    auto key = WriteKey(HKEY_CURRENT_USER, "Software\\Classes\\.eml");
    ASSERT_EQ(ERROR_SUCCESS, key->WriteString(nullptr, "Mail.File"));
    std::string text;
    EXPECT_EQ(ERROR_SUCCESS, key->ReadString("", text, 32));
    EXPECT_EQ("Mail.File", text);
    EXPECT_EQ(ERROR_SUCCESS, key->DeleteValue(""));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key->ValueExists(nullptr));
}

TEST_P(CRegistryKeyTest, DeleteValueOfAnAbsentValue) {
    auto key = WriteKey(HKEY_CURRENT_USER, "Software\\Delete");
    ASSERT_EQ(ERROR_SUCCESS, key->WriteDword("Here", 1));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key->DeleteValue("Gone"));
    EXPECT_EQ(ERROR_SUCCESS, key->DeleteValue("HERE"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key->ValueExists("Here"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key->DeleteValue("Here"));
}

TEST_P(CRegistryKeyTest, SubKeysEnumerateInNameOrderWithoutCase) {
    for (const char* name : {"beta", "Alpha", "_under", "gamma", "ALPHA2", "alpha1"})
        WriteKey(HKEY_CURRENT_USER, (std::string("Software\\Enum\\") + name).c_str());
    CRegistryKey key(m_store);
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_CURRENT_USER, "Software\\Enum", KEY_READ));
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        std::string name;
        DWORD capacity = 256;
        const LONG code = key.SubKeyName(index, name, capacity);
        if (code == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(ERROR_SUCCESS, code);
        EXPECT_EQ(name.size(), capacity);
        names.push_back(name);
    }
    EXPECT_EQ((std::vector<std::string>{"_under", "Alpha", "alpha1", "ALPHA2", "beta", "gamma"}), names);

    std::string name = "poison";
    DWORD capacity = 5;  // "Alpha" needs 6 with its NUL
    EXPECT_EQ(ERROR_MORE_DATA, key.SubKeyName(1, name, capacity));
    EXPECT_EQ(5u, capacity);
    capacity = 6;
    EXPECT_EQ(ERROR_SUCCESS, key.SubKeyName(1, name, capacity));
    EXPECT_EQ("Alpha", name);
    EXPECT_EQ(5u, capacity);
}

TEST_P(CRegistryKeyTest, ValueNamesEnumerateInNameOrderWithoutCase) {
    auto key = WriteKey(HKEY_CURRENT_USER, "Software\\Values");
    for (const char* name : {"beta", "Alpha", "", "ALPHA2"}) ASSERT_EQ(ERROR_SUCCESS, key->WriteDword(name, 1));
    std::vector<std::string> names;
    std::string name;
    for (DWORD i = 0, capacity = 64; key->ValueName(i, name, capacity) == ERROR_SUCCESS; ++i, capacity = 64)
        names.push_back(name);
    EXPECT_EQ((std::vector<std::string>{"", "Alpha", "ALPHA2", "beta"}), names);
    DWORD capacity = 5;  // "Alpha" needs 6 with its NUL
    EXPECT_EQ(ERROR_MORE_DATA, key->ValueName(1, name, capacity));
    capacity = 64;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, key->ValueName(4, name, capacity));
    CRegistryKey closed(m_store);
    EXPECT_EQ(ERROR_INVALID_HANDLE, closed.ValueName(0, name, capacity));
}

TEST_P(CRegistryKeyTest, NamesKeepTheirCaseAndMatchWithoutIt) {
    WriteKey(HKEY_CURRENT_USER, "Software\\MixedCase")->WriteDword("ValueName", 3);
    auto again = WriteKey(HKEY_CURRENT_USER, "SOFTWARE\\mixedcase");
    ASSERT_EQ(ERROR_SUCCESS, again->WriteDword("VALUENAME", 4));
    CRegistryKey key(m_store);
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_CURRENT_USER, "Software", KEY_READ));
    std::string name;
    DWORD capacity = 64;
    ASSERT_EQ(ERROR_SUCCESS, key.SubKeyName(0, name, capacity));
    EXPECT_EQ("MixedCase", name);
    DWORD value = 0;
    EXPECT_EQ(ERROR_SUCCESS, again->ReadDword("valuename", value));
    EXPECT_EQ(4u, value);
}

TEST_P(CRegistryKeyTest, AccessAndHandleErrors) {
    WriteKey(HKEY_CURRENT_USER, "Software\\ReadOnly");
    CRegistryKey key(m_store);
    EXPECT_EQ(ERROR_INVALID_HANDLE, key.WriteDword("x", 1));
    EXPECT_EQ(ERROR_INVALID_HANDLE, key.ValueExists("x"));
    EXPECT_EQ(ERROR_SUCCESS, key.CloseKey());
    EXPECT_EQ(ERROR_BAD_PATHNAME, key.OpenKey(HKEY_CURRENT_USER, "\\Software", KEY_READ));
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_CURRENT_USER, "Software\\ReadOnly", KEY_READ));
    EXPECT_EQ(ERROR_ACCESS_DENIED, key.WriteDword("x", 1));
    EXPECT_EQ(ERROR_SUCCESS, key.CloseKey());
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(ERROR_INVALID_HANDLE, key.ReadDword("x", *std::make_unique<DWORD>().get()));
}

TEST_P(CRegistryKeyTest, NarrowTextIsStoredAsUtf16) {
    // Narrow text is UTF-8 whatever the locale.
    auto key = WriteKey(HKEY_CURRENT_USER, "Software\\Caf\xC3\xA9");
    ASSERT_EQ(ERROR_SUCCESS, key->WriteString("Name", "Ren\xC3\xA9 \xF0\x9F\x93\xA7"));
    std::vector<std::uint8_t> stored;
    DWORD type = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              m_store->QueryValue(RegistryKeyPath{RegistryRoot::CurrentUser, {u"Software", u"Caf\u00E9"}, false},
                                  u"Name", type, stored));
    EXPECT_EQ((std::vector<std::uint8_t>{'R', 0, 'e', 0, 'n', 0, 0xE9, 0, ' ', 0, 0x3D, 0xD8, 0xE7, 0xDC, 0, 0}), stored);
    std::string text;
    EXPECT_EQ(ERROR_SUCCESS, key->ReadString("Name", text, 11));
    EXPECT_EQ("Ren\xC3\xA9 \xF0\x9F\x93\xA7", text);
}

TEST_P(CRegistryKeyTest, ClassesRootOverlaysTheUsersClassesOnTheMachines) {
    WriteKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\.eml")->WriteString("", "Machine.Eml");
    WriteKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\.htm")->WriteString("", "htmlfile");
    WriteKey(HKEY_CURRENT_USER, "Software\\Classes\\.EML")->WriteString("", "User.Eml");
    WriteKey(HKEY_CURRENT_USER, "Software\\Classes\\.doc")->WriteString("", "Word");
    CRegistryKey key(m_store);
    std::string text;
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_CLASSES_ROOT, ".eml", KEY_READ));
    EXPECT_EQ(ERROR_SUCCESS, key.ReadString(nullptr, text, 64));
    EXPECT_EQ("User.Eml", text);
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_CLASSES_ROOT, ".htm", KEY_READ));
    EXPECT_EQ(ERROR_SUCCESS, key.ReadString(nullptr, text, 64));
    EXPECT_EQ("htmlfile", text);
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_CLASSES_ROOT, nullptr, KEY_READ));
    std::vector<std::string> names;
    std::string name;
    for (DWORD i = 0, capacity = 64; key.SubKeyName(i, name, capacity) == ERROR_SUCCESS; ++i, capacity = 64)
        names.push_back(name);
    EXPECT_EQ((std::vector<std::string>{".doc", ".EML", ".htm"}), names);
}

TEST_P(CRegistryKeyTest, ProgramSeesThe32BitViewOfA64BitMachine) {
    if (!GetParam().win64) GTEST_SKIP() << "a 32-bit prefix has one view";
    CRegistryKey key(m_store);
    // A 32-bit program's keys go below Wow6432Node; the native view does not see them.
    ASSERT_EQ(ERROR_SUCCESS, key.CreateKey(HKEY_LOCAL_MACHINE, "Software\\Clients\\Mail\\Prog", KEY_READ | KEY_WRITE));
    ASSERT_EQ(ERROR_SUCCESS, key.WriteString("", "32"));
    EXPECT_EQ(ERROR_SUCCESS,
              key.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Clients\\Mail\\Prog", KEY_READ | KEY_WOW64_64KEY));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              key.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Clients\\Mail\\Prog", KEY_READ | KEY_WOW64_64KEY));
    // A key that exists in the 64-bit view only is not found.
    ASSERT_EQ(ERROR_SUCCESS, key.CreateKey(HKEY_LOCAL_MACHINE, "Software\\Only64", KEY_READ | KEY_WOW64_64KEY));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Only64", KEY_READ));
    // Shared keys are links from the 32-bit view to the 64-bit key.
    ASSERT_EQ(ERROR_SUCCESS, key.CreateKey(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Shared",
                                           KEY_READ | KEY_WRITE | KEY_WOW64_64KEY));
    ASSERT_EQ(ERROR_SUCCESS, key.WriteDword("Both", 64));
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\shared", KEY_READ));
    DWORD value = 0;
    EXPECT_EQ(ERROR_SUCCESS, key.ReadDword("Both", value));
    EXPECT_EQ(64u, value);
}

INSTANTIATE_TEST_SUITE_P(Stores, CRegistryKeyTest, ::testing::ValuesIn(testing::AllRegistryStores()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace mailwright
