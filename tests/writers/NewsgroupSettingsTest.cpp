#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "TestPrefix.h"
#include "registry/MemoryRegistry.h"
#include "testlib/AccountFixture.h"
#include "testlib/FaultyRegistry.h"
#include "testlib/MemorySession.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/RegistryFixture.h"
#include "testlib/ScopedFileSizeLimit.h"
#include "writers/NewsgroupSettings.h"

namespace mailwright {
namespace {

using namespace testing;

const std::string kOutlookExpressRoot =
    std::string("Identities\\") + kMainIdentity + "\\Software\\Microsoft\\Outlook Express\\5.0";
const std::string kWindowsMailRoot = "Software\\Microsoft\\Windows Mail";
const std::string kLiveMailRoot = "Software\\Microsoft\\Windows Live Mail";

struct Setting {
    const char* subKey;
    const char* name;
    StoredValue value;
};

const Setting kSettings[] = {
    {"\\Trident\\International", "Default_CodePage", Binary({0xE2, 0x04, 0x00, 0x00})},
    {"\\Trident\\International\\1250", "Default_InternetEncoding", Binary({0xB0, 0x6F, 0x00, 0x00})},
    {"", "Reply To Messages In Original Format", Dword(0)},
    {"", "Use US Reply Headers", Dword(1)},
    {"\\Mail", "Default_CodePage", Dword(28592)},
    {"\\News", "Message Plain Format MIME", Dword(1)},
    {"\\News", "Message Send HTML", Dword(0)},
    {"\\News", "Message Plain Encoding Format", Dword(4)},
    {"\\News", "Message Plain Allow 8bit in Header", Dword(0)},
    {"\\News", "Message Plain Character Line Wrap", Dword(76)},
    {"\\News", "Indent Char", Dword('>')},
};

class NewsgroupTest : public ::testing::Test {
protected:
    void ExpectSettingsUnder(const std::string& root) {
        for (const Setting& s : kSettings)
            EXPECT_EQ(ReadStored(m_memory, HKEY_CURRENT_USER, root + s.subKey, s.name), s.value) << root << s.subKey;
    }
    bool KeyExists(const std::string& path) {
        return CRegistryKey(m_memory).OpenKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ) == ERROR_SUCCESS;
    }

    std::shared_ptr<MemoryRegistry> m_memory = std::make_shared<MemoryRegistry>();
    std::shared_ptr<FaultyRegistry> m_faults = std::make_shared<FaultyRegistry>(m_memory);
    ScopedMemorySession m_session{WindowsVersion(5, 1), m_faults};
    ScopedRecordingUserInterface m_ui;
    CIdentityRegWriter m_writer;
};

TEST_F(NewsgroupTest, WindowsVersionChoosesTheClientAndTheMessage) {
    const struct {
        DWORD major, minor;
        const std::string& root;
        const char* message;
    } cases[] = {
        {5, 1, kOutlookExpressRoot, "Outlook Express has been configured correctly and is ready to work."},
        {6, 0, kWindowsMailRoot, "Window Mail has been configured correctly and is ready to work."},
        {6, 1, kLiveMailRoot, "Window Live Mail has been configured correctly and is ready to work."},
        {6, 2, kOutlookExpressRoot, nullptr},
        {10, 0, kOutlookExpressRoot, "Outlook Express has been configured correctly and is ready to work."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
        m_memory = std::make_shared<MemoryRegistry>();
        ScopedMemorySession session(WindowsVersion(c.major, c.minor), m_memory);
        // Windows Mail and Live Mail must not need an Outlook Express identity.
        if (&c.root == &kOutlookExpressRoot) WriteIdentity(m_memory, kMainIdentity, 1);
        m_ui->ClearCalls();
        CIdentityRegWriter writer;
        EXPECT_TRUE(ApplyNewsgroupSettings(writer, WindowsVersion(c.major, c.minor)));
        ExpectSettingsUnder(c.root);
        if (&c.root != &kOutlookExpressRoot) {
            EXPECT_FALSE(KeyExists("Identities"));
        }
        if (c.message) {
            ASSERT_EQ(m_ui->Calls().size(), 1u);
            EXPECT_EQ(m_ui->Calls()[0].kind, UiCall::Message);
            EXPECT_EQ(m_ui->Calls()[0].text, c.message);
            EXPECT_EQ(m_ui->Calls()[0].style, MB_ICONINFORMATION);
        } else {
            EXPECT_TRUE(m_ui->Calls().empty());
        }
    }
}

TEST_F(NewsgroupTest, LaterApplyKeepsTheClientOfAnEarlierOne) {
    ASSERT_TRUE(ApplyNewsgroupSettings(m_writer, WindowsVersion(6, 1)));
    ASSERT_TRUE(ApplyNewsgroupSettings(m_writer, WindowsVersion(6, 2)));
    EXPECT_EQ(m_writer.m_client, 2);
    ExpectSettingsUnder(kLiveMailRoot);
    EXPECT_FALSE(KeyExists("Identities"));
}

TEST_F(NewsgroupTest, RegistryFailureIsReportedWithoutTheSuccessMessage) {
    WriteIdentity(m_memory, kMainIdentity, 1);
    m_faults->FailKey("5.0\\News", ERROR_ACCESS_DENIED, 2);
    EXPECT_FALSE(ApplyNewsgroupSettings(m_writer, WindowsVersion(5, 1)));
    ASSERT_EQ(m_ui->Calls().size(), 1u);
    const UiCall& box = m_ui->Calls()[0];
    EXPECT_EQ(box.kind, UiCall::Error);
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.style, MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
    EXPECT_EQ(box.text, AccessDenied("Cannot access the account settings folder. (8)"));
    // The settings are written all together or not at all.
    EXPECT_EQ(ReadStored(m_memory, HKEY_CURRENT_USER, kOutlookExpressRoot + "\\News", "Message Send HTML").code,
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadStored(m_memory, HKEY_CURRENT_USER, kOutlookExpressRoot + "\\Trident\\International",
                         "Default_CodePage").code,
              ERROR_FILE_NOT_FOUND);
}

// The save of user.reg fails as on a full disk: reported, and the prefix keeps its files.
TEST_F(NewsgroupTest, SettingsThatCannotBeSavedAreReportedWithoutTheSuccessMessage) {
    TestPrefix prefix(WindowsRelease::Vista);
    const std::string hive = prefix.Prefix().Folder().ReadFile("user.reg");
    const std::set<std::string> files = prefix.TopFiles();
    CIdentityRegWriter writer;
    {
        const ScopedFileSizeLimit full(hive.size());
        EXPECT_FALSE(ApplyNewsgroupSettings(writer, WindowsVersion(6, 0)));
    }
    ASSERT_EQ(m_ui->Calls().size(), 1u);
    EXPECT_EQ(m_ui->Calls()[0].kind, UiCall::Error);
    EXPECT_EQ(m_ui->Calls()[0].text, FileTooLarge("Error while configuring. (14)"));
    EXPECT_EQ(prefix.Prefix().Folder().ReadFile("user.reg"), hive);
    EXPECT_EQ(prefix.TopFiles(), files);
    EXPECT_EQ(CRegistryKey().OpenKey(HKEY_CURRENT_USER, kWindowsMailRoot.c_str(), KEY_READ), ERROR_FILE_NOT_FOUND);
}

TEST_F(NewsgroupTest, MissingIdentityOnOlderWindowsIsReported) {
    EXPECT_FALSE(ApplyNewsgroupSettings(m_writer, WindowsVersion(5, 1)));
    ASSERT_EQ(m_ui->Calls().size(), 1u);
    EXPECT_EQ(m_ui->Calls()[0].kind, UiCall::Error);
    EXPECT_EQ(m_ui->Calls()[0].text,
              "The system cannot find the file specified. (0x2)\n\nError determining account identity. (0)");
}

TEST_F(NewsgroupTest, OtherFailureShowsItsOwnMessage) {
    m_faults->ThrowOnWrite("Use US Reply Headers");
    EXPECT_FALSE(ApplyNewsgroupSettings(m_writer, WindowsVersion(6, 0)));
    ASSERT_EQ(m_ui->Calls().size(), 1u);
    EXPECT_EQ(m_ui->Calls()[0].kind, UiCall::Message);
    EXPECT_EQ(m_ui->Calls()[0].text, "Unknown error configuring mail client for discussion groups.");
    EXPECT_EQ(m_ui->Calls()[0].style, MB_OK);
}

// Every key and value of the settings that can fail, in Windows Mail's key.
struct SettingsFailure {
    const char* name;
    bool key;  // the key cannot be created; else the value cannot be written
    const char* tail;
    int passes;
    const char* message;
    const char* function;
    int line;
};

const SettingsFailure kFailures[] = {
    {"International", true, "Trident\\International", 0, "Cannot access the account settings folder. (2)",
     "SetCodePageSettings", 210},
    {"Default_CodePage", false, "Default_CodePage", 0, "Error while configuring. (1)", "SetCodePageSettings", 211},
    {"CodePage1250", true, "International\\1250", 0, "Cannot access the account settings folder. (3)",
     "SetCodePageSettings", 216},
    {"Default_InternetEncoding", false, "Default_InternetEncoding", 0, "Error while configuring. (2)",
     "SetCodePageSettings", 220},
    {"RootForReplyFormat", true, "Windows Mail", 0, "Cannot access the account settings folder. (4)",
     "WriteSettingsKeys", 237},
    {"Reply To Messages In Original Format", false, "Reply To Messages In Original Format", 0,
     "Error while configuring. (4)", "WriteSettingsKeys", 238},
    {"RootForReplyHeaders", true, "Windows Mail", 1, "Cannot access the account settings folder. (12)",
     "WriteSettingsKeys", 242},
    {"Use US Reply Headers", false, "Use US Reply Headers", 0, "Error while configuring. (12)", "WriteSettingsKeys",
     243},
    {"MailKey", true, "Windows Mail\\Mail", 0, "Cannot access the account settings folder. (13)", "WriteSettingsKeys",
     247},
    {"MailCodePage", false, "Default_CodePage", 1, "Error while configuring. (13)", "WriteSettingsKeys", 248},
    {"NewsForFormat", true, "News", 0, "Cannot access the account settings folder. (6)", "WriteSettingsKeys", 255},
    {"Message Plain Format MIME", false, "Message Plain Format MIME", 0, "Error while configuring. (6)",
     "WriteSettingsKeys", 256},
    {"NewsForHtml", true, "News", 1, "Cannot access the account settings folder. (7)", "WriteSettingsKeys", 262},
    {"Message Send HTML", false, "Message Send HTML", 0, "Error while configuring. (7)", "WriteSettingsKeys", 263},
    {"NewsForEncoding", true, "News", 2, "Cannot access the account settings folder. (8)", "WriteSettingsKeys", 269},
    {"Message Plain Encoding Format", false, "Message Plain Encoding Format", 0, "Error while configuring. (8)",
     "WriteSettingsKeys", 270},
    {"NewsFor8bit", true, "News", 3, "Cannot access the account settings folder. (9)", "WriteSettingsKeys", 275},
    {"Message Plain Allow 8bit in Header", false, "Message Plain Allow 8bit in Header", 0,
     "Error while configuring. (9)", "WriteSettingsKeys", 276},
    {"NewsForLineWrap", true, "News", 4, "Cannot access the account settings folder. (10)", "WriteSettingsKeys", 280},
    {"Message Plain Character Line Wrap", false, "Message Plain Character Line Wrap", 0,
     "Error while configuring. (10)", "WriteSettingsKeys", 281},
    {"NewsForIndent", true, "News", 5, "Cannot access the account settings folder. (11)", "WriteSettingsKeys", 285},
    {"Indent Char", false, "Indent Char", 0, "Error while configuring. (11)", "WriteSettingsKeys", 286},
};

void PrintTo(const SettingsFailure& f, std::ostream* out) { *out << f.name; }

class SettingsFailureTest : public NewsgroupTest, public ::testing::WithParamInterface<SettingsFailure> {};

TEST_P(SettingsFailureTest, ThrowsWithTheStepThatFailed) {
    const SettingsFailure& f = GetParam();
    if (f.key) m_faults->FailKey(f.tail, ERROR_ACCESS_DENIED, f.passes);
    else m_faults->FailWrite(f.tail, ERROR_ACCESS_DENIED, "", f.passes);
    m_writer.m_client = 1;
    auto thrown = Thrown([&] { m_writer.WriteSettingsKeys(); });
    ASSERT_TRUE(thrown);
    EXPECT_EQ(thrown->GetMessageText(), AccessDenied(f.message));
    EXPECT_EQ(thrown->GetFile(), "IdentityRegWriter");
    EXPECT_EQ(thrown->GetFunction(), std::string("CIdentityRegWriter::") + f.function);
    EXPECT_EQ(thrown->GetLine(), f.line);
}

INSTANTIATE_TEST_SUITE_P(Steps, SettingsFailureTest, ::testing::ValuesIn(kFailures), [](const auto& info) {
    std::string name = info.param.name;
    for (char& c : name)
        if (c == ' ' || c == '_') c = 'X';
    return name;
});

}  // namespace
}  // namespace mailwright
