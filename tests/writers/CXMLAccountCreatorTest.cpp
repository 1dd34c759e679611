// The account document of Windows Mail and Windows Live Mail, read back with pugixml.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <pugixml.hpp>

#include "TestPrefix.h"
#include "testlib/AccountFixture.h"
#include "support/VeskException.h"
#include "writers/CXMLAccountCreator.h"

namespace mailwright {
namespace {

using testing::MakeAccount;
using testing::MakeProvider;
using testing::TestPrefix;

struct Element {
    std::string name;
    std::string type;
    std::string text;
    bool operator==(const Element&) const = default;
};

void PrintTo(const Element& e, std::ostream* out) { *out << e.name << " " << e.type << " \"" << e.text << "\""; }

std::string Utf16Le(const std::string& ascii) {
    std::string bytes;
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// The saved bytes parsed back: checks the encoding, the declaration and the root, and
// returns the root's children.
std::vector<Element> ReadBack(const std::string& bytes) {
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(bytes.substr(2, 78), Utf16Le("<?xml version=\"1.0\" encoding=\"utf-16\"?>"));
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_declaration);
    EXPECT_TRUE(parsed) << parsed.description();
    EXPECT_EQ(parsed.encoding, pugi::encoding_utf16_le);
    std::vector<Element> elements;
    pugi::xml_node declaration = doc.first_child();
    EXPECT_EQ(declaration.type(), pugi::node_declaration);
    pugi::xml_node root = declaration.next_sibling();
    EXPECT_EQ(std::string(root.name()), "MessageAccount");
    EXPECT_TRUE(root.first_attribute().empty());
    EXPECT_TRUE(root.next_sibling().empty());
    for (pugi::xml_node child : root.children()) {
        EXPECT_EQ(child.type(), pugi::node_element);
        EXPECT_EQ(std::distance(child.attributes_begin(), child.attributes_end()), 1);
        EXPECT_EQ(std::string(child.first_attribute().name()), "type");
        EXPECT_TRUE(!child.first_child() || (child.first_child() == child.last_child() &&
                                             child.first_child().type() == pugi::node_pcdata));
        elements.push_back({child.name(), child.attribute("type").value(), child.text().get()});
    }
    return elements;
}

std::vector<Element> Document(const CRefCountPtr<CAccount>& account) {
    CXMLAccountCreator creator;
    creator.CreateAccountFromProviderSettings(account);
    return ReadBack(creator.SaveToMemory());
}

TEST(CXMLAccountCreator, TheNineteenTypedElementsInOrder) {
    const std::vector<Element> expected = {
        {"Account_Name", "SZ", "jan@example.com"},
        {"Connection_Type", "DWORD", "00000000"},
        {"POP3_Server", "SZ", "pop.example.com"},
        {"POP3_User_Name", "SZ", "jan@example.com"},
        {"POP3_Password2", "BINARY", ""},
        {"POP3_Port", "DWORD", "000003e3"},
        {"POP3_Secure_Connection", "DWORD", "00000001"},
        {"POP3_Timeout", "DWORD", "0000003c"},
        {"Leave_Mail_On_Server", "DWORD", "00000000"},
        {"POP3_Skip_Account", "DWORD", "00000000"},
        {"POP3_Prompt_for_Password", "DWORD", "00000000"},
        {"SMTP_Server", "SZ", "smtp.example.com"},
        {"SMTP_Use_Sicily", "DWORD", "00000002"},
        {"SMTP_Port", "DWORD", "000001d1"},
        {"SMTP_Secure_Connection", "DWORD", "00000001"},
        {"SMTP_Timeout", "DWORD", "0000003c"},
        {"SMTP_Display_Name", "SZ", "Jan Kowalski"},
        {"SMTP_Email_Address", "SZ", "jan@example.com"},
        {"SMTP_Split_Messages", "DWORD", "00000000"},
    };
    EXPECT_EQ(Document(MakeAccount("Jan Kowalski", "jan@example.com")), expected);
}

TEST(CXMLAccountCreator, ProviderValuesAndUserNameRule) {
    const struct {
        const char* address;
        mailwright::testing::ProviderSettings settings;  // listed flat, in its member order
        const char* typed;
        // POP3_Port, POP3_Secure_Connection, SMTP_Use_Sicily, SMTP_Port, SMTP_Secure_Connection, POP3_User_Name
        std::vector<std::string> expected;
    } cases[] = {
        {"ann@x.org", 110, 0, 25, 0, 0, false, 0, "", {"0000006e", "00000000", "00000000", "00000019", "00000000", "ann"}},
        {"ann@x.org", 995, 5, 587, 2, 5, true, 0, "", {"000003e3", "00000005", "00000002", "0000024b", "00000002", "ann@x.org"}},
        {"no-at-sign", 110, 1, 25, 1, 1, false, 0, "", {"0000006e", "00000001", "00000002", "00000019", "00000001", ""}},
        {"ann@x.org", -1, 0, 25, 0, 1, true, 1, "typed.name", {"ffffffff", "00000000", "00000002", "00000019", "00000000", "typed.name"}},
    };
    for (const auto& c : cases) {
        CRefCountPtr<CProvider> provider = MakeProvider(c.settings);
        CRefCountPtr<CAccount> account = MakeAccount("Ann", c.address, provider);
        account->SetUserName(c.typed);
        const std::vector<Element> doc = Document(account);
        ASSERT_EQ(doc.size(), 19u);
        const std::vector<std::string> got = {doc[5].text, doc[6].text, doc[12].text, doc[13].text, doc[14].text,
                                              doc[3].text};
        EXPECT_EQ(got, c.expected) << c.address << " " << c.settings.pop3Port;
    }
}

TEST(CXMLAccountCreator, EscapedAndNonAsciiCharactersSurvive) {
    const std::string name = "Tom & \"Jerry\" <'toons'> ]]> Zo\xC3\xAB";
    const std::vector<Element> doc = Document(MakeAccount(name, "a&b<c>@example.com", MakeProvider()));
    ASSERT_EQ(doc.size(), 19u);
    EXPECT_EQ(doc[16].text, "Tom & \"Jerry\" <'toons'> ]]> Zo\xC3\xAB");
    EXPECT_EQ(doc[0].text, "a&b<c>@example.com");
    EXPECT_EQ(doc[17].text, "a&b<c>@example.com");
}

// A character reference to a control character makes the file unreadable for an XML parser;
// what XML 1.0 forbids (and bytes that are no UTF-8) becomes U+FFFD instead.
TEST(CXMLAccountCreator, CharactersThatXmlForbidsBecomeReplacementCharacters) {
    const std::string name = std::string("Jan\x01\x1b\tX\x7f\0", 9) + "\xEF\xBF\xBE\xFF";
    CXMLAccountCreator creator;
    creator.CreateAccountFromProviderSettings(MakeAccount(name, "jan@example.com", MakeProvider()));
    const std::string bytes = creator.SaveToMemory();
    EXPECT_EQ(bytes.find(Utf16Le("&#")), std::string::npos);
    const std::vector<Element> doc = ReadBack(bytes);
    ASSERT_EQ(doc.size(), 19u);
    EXPECT_EQ(doc[16].text, "Jan\uFFFD\uFFFD\tX\x7f\uFFFD\uFFFD\uFFFD");
}

TEST(CXMLAccountCreator, ASecondDocumentReplacesTheFirst) {
    CXMLAccountCreator creator;
    creator.CreateAccountFromProviderSettings(MakeAccount("First", "first@example.com", MakeProvider()));
    creator.CreateAccountFromProviderSettings(MakeAccount("Second", "second@example.com", MakeProvider()));
    const std::vector<Element> doc = ReadBack(creator.SaveToMemory());
    ASSERT_EQ(doc.size(), 19u);
    EXPECT_EQ(doc[16].text, "Second");
}

TEST(CXMLAccountCreator, AnEmptyAccountIsRefused) {
    CXMLAccountCreator creator;
    try {
        creator.CreateAccountFromProviderSettings(CRefCountPtr<CAccount>());
        FAIL() << "no exception";
    } catch (const Error::VeskExceptionText& e) {
        EXPECT_EQ(e.GetMessageText(), "Error retrieving data for account creation. (2)");
        EXPECT_EQ(e.GetFile(), "XMLAccountCreator");
        EXPECT_EQ(e.GetFunction(), "CXMLAccountCreator::CreateAccountFromProviderSettings");
        EXPECT_EQ(e.GetLine(), 65);
    }
}

class StoreRootTest : public ::testing::Test {
protected:
    void SetStoreRoot(const char* key, const char* root) {
        ASSERT_EQ(ERROR_SUCCESS, m_prefix.UserKey(key)->WriteString("Store Root", root));
    }

    TestPrefix m_prefix;
};

TEST_F(StoreRootTest, OnlyALeadingVariableIsExpanded) {
    const struct {
        const char* stored;
        const char* expected;
    } cases[] = {
        {"%LOCALAPPDATA%\\Microsoft\\Windows Mail", "C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows Mail"},
        {"%localappdata%\\Mail", "C:\\users\\tester\\AppData\\Local\\Mail"},
        {"C:\\Mail\\%USERPROFILE%\\x", "C:\\Mail\\%USERPROFILE%\\x"},
        {"%USERPROFILE%\\%APPDATA%", "C:\\users\\tester\\%APPDATA%"},
        {"%UNKNOWN%\\Mail", "%UNKNOWN%\\Mail"},
        {"%", "%"},
    };
    CXMLAccountCreator creator;
    for (const auto& c : cases) {
        SetStoreRoot("Software\\Microsoft\\Windows Mail", c.stored);
        EXPECT_EQ(creator.GetStoreRoot(false), c.expected) << c.stored;
    }
}

TEST_F(StoreRootTest, EachClientHasItsOwnKey) {
    SetStoreRoot("Software\\Microsoft\\Windows Mail", "C:\\Mail");
    SetStoreRoot("Software\\Microsoft\\Windows Live Mail", "C:\\Live Mail");
    CXMLAccountCreator creator;
    EXPECT_EQ(creator.GetStoreRoot(false), "C:\\Mail");
    EXPECT_EQ(creator.GetStoreRoot(true), "C:\\Live Mail");
}

TEST_F(StoreRootTest, FailuresCarryTheirTextAndCode) {
    CXMLAccountCreator creator;
    auto expectFailure = [&](unsigned code, const std::string& text) {
        try {
            creator.GetStoreRoot(true);
            ADD_FAILURE() << "no exception for " << text;
        } catch (const Error::VeskExceptionCommon& e) {
            EXPECT_EQ(e.GetCode(), code);
            EXPECT_EQ(e.GetMessageText(), text);
            EXPECT_EQ(e.GetFile(), "");
            EXPECT_EQ(e.GetLine(), 0);
        }
    };
    expectFailure(2, "The system cannot find the file specified. (0x2)\n\n"
                     "Cannot read store root location from registry key");
    auto key = m_prefix.UserKey("Software\\Microsoft\\Windows Live Mail");
    const std::string missing = "The system cannot find the file specified. (0x2)\n\n"
                                "Cannot find data folder path for Windows Mail.";
    expectFailure(2, missing);
    // An empty root names no folder: the file would land in the current folder.
    key->WriteString("Store Root", "");
    expectFailure(2, missing);
    const std::string invalid = "The data is invalid. (0xd)\n\nCannot find data folder path for Windows Mail.";
    key->WriteDword("Store Root", 1);
    expectFailure(13, invalid);
    key->SetValue("Store Root", REG_SZ, reinterpret_cast<const std::uint8_t*>("C:\\x"), 4);  // no NUL
    expectFailure(13, invalid);
}

TEST_F(StoreRootTest, TheFileLandsInTheExpandedStoreRoot) {
    std::filesystem::create_directories(m_prefix.DriveC("users/tester/AppData/Local/Microsoft/Windows Mail"));
    CXMLAccountCreator creator;
    creator.CreateAccountFromProviderSettings(MakeAccount("Jan Kowalski", "jan@example.com"));
    for (const char* root : {"%LOCALAPPDATA%\\Microsoft\\Windows Mail\\", "%LOCALAPPDATA%\\microsoft\\windows mail"}) {
        SetStoreRoot("Software\\Microsoft\\Windows Mail", root);
        creator.SaveDocument("account{X}.oeaccount", false);
        const std::string file = m_prefix.DriveC("users/tester/AppData/Local/Microsoft/Windows Mail/account{X}.oeaccount");
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(bytes, creator.SaveToMemory()) << root;
        EXPECT_EQ(ReadBack(bytes).size(), 19u);
        std::filesystem::remove(file);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_prefix.DriveC("users/tester/AppData/Local/Microsoft")),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace
}  // namespace mailwright
