#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "TestPrefix.h"
#include "registry/MemoryRegistry.h"
#include "support/StringTable.h"
#include "testlib/AccountFixture.h"
#include "testlib/FaultyRegistry.h"
#include "testlib/MemorySession.h"
#include "testlib/RegistryFixture.h"
#include "testlib/RegistryStores.h"
#include "testlib/ScopedFileSizeLimit.h"
#include "writers/CIdentityRegWriter.h"

namespace mailwright {
namespace {

using namespace testing;

const std::string kGlobalManager = "Software\\Microsoft\\Internet Account Manager";
const std::string kOtherManager = std::string("Identities\\") + kOtherIdentity + "\\" + kGlobalManager;

CRefCountPtr<CAccount> Jan(CRefCountPtr<CProvider> provider = MakeProvider(),
                           const std::string& address = "jan@example.com") {
    return MakeAccount("Jan Kowalski", address, std::move(provider));
}

class WriterTest : public ::testing::Test {
protected:
    StoredValue Get(const std::string& path, const char* name) {
        return ReadStored(m_memory, HKEY_CURRENT_USER, path, name);
    }
    void Put(const std::string& path, const char* name, DWORD type, const std::vector<std::uint8_t>& data) {
        CRegistryKey key(m_memory);
        ASSERT_EQ(ERROR_SUCCESS, key.CreateKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ | KEY_WRITE));
        ASSERT_EQ(ERROR_SUCCESS, key.SetValue(name, type, data.data(), static_cast<DWORD>(data.size())));
    }
    std::unique_ptr<Error::VeskException> Write(CRefCountPtr<CAccount> account) {
        return Thrown([&] { m_writer.SetAccountRegistry(std::move(account)); });
    }

    std::shared_ptr<MemoryRegistry> m_memory = std::make_shared<MemoryRegistry>();
    std::shared_ptr<FaultyRegistry> m_faults = std::make_shared<FaultyRegistry>(m_memory);
    ScopedMemorySession m_session{WindowsVersion(5, 1), m_faults};
    CIdentityRegWriter m_writer;
};

// Every value of the account key, with its type, on every kind of store.
class AccountTableTest : public ::testing::TestWithParam<RegistryStoreMaker> {};

TEST_P(AccountTableTest, WritesTheWholeAccountAndMakesItTheDefault) {
    TempFolder folder;
    ScopedMemorySession session(WindowsVersion(5, 1), GetParam().make(folder));
    WriteIdentity(session.Store(), kMainIdentity, 1);
    CRefCountPtr<CProvider> provider = MakeProvider();
    provider->m_smtpSsl = 0;
    provider->m_smtpPort = 587;
    provider->m_userNameIsEmail = false;

    CIdentityRegWriter writer;
    writer.SetAccountRegistry(Jan(provider));
    EXPECT_TRUE(writer.m_accountWritten);
    EXPECT_EQ(writer.m_identityId, kMainIdentity);
    EXPECT_EQ(writer.m_accountKeyName, "00000001");

    const auto get = [&](const std::string& path, const char* name) {
        return ReadStored(session.Store(), HKEY_CURRENT_USER, path, name);
    };
    EXPECT_EQ(get(kGlobalManager, "Account Name"), Dword(2));
    EXPECT_EQ(get(kGlobalManager, "Default Mail Account"), Sz("00000001"));
    const std::string account = kGlobalManager + "\\Accounts\\00000001";
    const struct {
        const char* name;
        StoredValue value;
    } expected[] = {
        {"Account Name", Sz("jan@example.com")},
        {"SMTP Display Name", Sz("Jan Kowalski")},
        {"SMTP Email Address", Sz("jan@example.com")},
        {"SMTP Use Sicily", Dword(2)},
        {"POP3 Server", Sz("pop.example.com")},
        {"POP3 User Name", Sz("jan")},
        {"SMTP Server", Sz("smtp.example.com")},
        {"Connection Type", Dword(0)},
        {"POP3 Prompt for Password", Dword(0)},
        {"POP3 Secure Connection", Dword(1)},
        {"SMTP Secure Connection", Dword(0)},
        {"SMTP Port", Dword(587)},
        {"POP3 Port", Dword(995)},
    };
    for (const auto& value : expected) EXPECT_EQ(get(account, value.name), value.value) << value.name;
    EXPECT_EQ(get(account, "POP3 Password2").code, ERROR_FILE_NOT_FOUND);
}

INSTANTIATE_TEST_SUITE_P(Stores, AccountTableTest, ::testing::ValuesIn(AllRegistryStores()),
                         [](const auto& info) { return info.param.name; });

TEST_F(WriterTest, StartIdentityIsTheFirstCandidateThatNamesOne) {
    const char* kNull = "{00000000-0000-0000-0000-000000000000}";
    const struct {
        const char* startAs;
        const char* lastUser;
        const char* defaultUser;
        const char* expected;
    } cases[] = {
        {kMainIdentity, kOtherIdentity, kOtherIdentity, kMainIdentity},
        {kNull, kMainIdentity, kOtherIdentity, kMainIdentity},
        {nullptr, nullptr, kMainIdentity, kMainIdentity},
        {kNull, kNull, kMainIdentity, kMainIdentity},
    };
    for (const auto& c : cases) {
        m_memory = std::make_shared<MemoryRegistry>();
        ScopedMemorySession session(WindowsVersion(5, 1), m_memory);
        WriteIdentity(m_memory, kMainIdentity, 1, "Unused");
        WriteIdentity(m_memory, kOtherIdentity, 1, "Unused");
        if (c.startAs) Put("Identities", "Start As", REG_SZ, Sz(c.startAs).data);
        if (c.lastUser) Put("Identities", "Last User ID", REG_SZ, Sz(c.lastUser).data);
        if (c.defaultUser) Put("Identities", "Default User ID", REG_SZ, Sz(c.defaultUser).data);
        CIdentityRegWriter writer;
        writer.GetOEStartIdentity();
        EXPECT_EQ(writer.m_identityId, c.expected);
        EXPECT_EQ(writer.m_settingsKey,
                  std::string("Identities\\") + c.expected + "\\Software\\Microsoft\\Outlook Express\\5.0");
    }
}

TEST_F(WriterTest, CandidateThatIsNoStringIsPassedOver) {
    WriteIdentity(m_memory, kMainIdentity, 1, "Last User ID");
    Put("Identities", "Start As", REG_DWORD, Dword(7).data);
    m_writer.GetOEStartIdentity();
    EXPECT_EQ(m_writer.m_identityId, kMainIdentity);
}

TEST_F(WriterTest, IdentityOrdinalChoosesTheAccountManager) {
    const struct {
        std::optional<StoredValue> ordinal;
        std::string manager;
        std::optional<StoredValue> ordinalAfter;
    } cases[] = {
        {std::nullopt, kGlobalManager, Dword(1)},  // absent: written as the main identity
        {Dword(1), kGlobalManager, Dword(1)},
        {Dword(2), kOtherManager, Dword(2)},
        // Longer than four bytes: unreadable, so not the main identity, and left alone.
        {Binary({1, 0, 0, 0, 0, 0, 0, 0}), kOtherManager, Binary({1, 0, 0, 0, 0, 0, 0, 0})},
    };
    for (const auto& c : cases) {
        m_memory = std::make_shared<MemoryRegistry>();
        ScopedMemorySession session(WindowsVersion(5, 1), m_memory);
        WriteIdentity(m_memory, kOtherIdentity, std::nullopt);
        const std::string identity = std::string("Identities\\") + kOtherIdentity;
        if (c.ordinal) Put(identity, "Identity Ordinal", c.ordinal->type, c.ordinal->data);
        CIdentityRegWriter writer;
        writer.SetAccountRegistry(Jan());
        EXPECT_EQ(writer.m_accountManagerKey, c.manager);
        EXPECT_EQ(Get(identity, "Identity Ordinal"), c.ordinalAfter);
        EXPECT_EQ(Get(c.manager + "\\Accounts\\00000001", "Account Name"), Sz("jan@example.com"));
    }
}

TEST_F(WriterTest, CounterGivesTheKeyAndAdvances) {
    const struct {
        std::optional<DWORD> counter;
        const char* key;
        DWORD after;
    } cases[] = {
        {std::nullopt, "00000001", 2},
        {31, "0000001f", 32},
        {0xabcdef12, "abcdef12", 0xabcdef13},
        {0xffffffff, "ffffffff", 0},
    };
    for (const auto& c : cases) {
        m_memory = std::make_shared<MemoryRegistry>();
        ScopedMemorySession session(WindowsVersion(5, 1), m_memory);
        WriteIdentity(m_memory, kMainIdentity, 1);
        if (c.counter) Put(kGlobalManager, "Account Name", REG_DWORD, Dword(*c.counter).data);
        CIdentityRegWriter writer;
        writer.SetAccountRegistry(Jan());
        EXPECT_EQ(writer.m_accountKeyName, c.key);
        EXPECT_EQ(Get(kGlobalManager, "Default Mail Account"), Sz(c.key));
        EXPECT_EQ(Get(kGlobalManager, "Account Name"), Dword(c.after));
    }
}

// A counter that is not four bytes of a number cannot say which key is free; going on
// from 1 could overwrite the first account, so the creation stops.
TEST_F(WriterTest, CounterThatIsNoNumberStopsTheCreation) {
    const struct {
        DWORD type;
        std::vector<std::uint8_t> data;
        LONG code;
    } cases[] = {
        {REG_SZ, Sz("12").data, ERROR_INVALID_DATA},
        {REG_SZ, Sz("123").data, ERROR_INVALID_DATA},  // four bytes, but text
        {REG_BINARY, {1, 2}, ERROR_INVALID_DATA},
        {REG_BINARY, {1, 2, 3, 4, 5, 6, 7, 8}, ERROR_MORE_DATA},
    };
    for (const auto& c : cases) {
        m_memory = std::make_shared<MemoryRegistry>();
        ScopedMemorySession session(WindowsVersion(5, 1), m_memory);
        WriteIdentity(m_memory, kMainIdentity, 1);
        Put(kGlobalManager, "Account Name", c.type, c.data);
        CIdentityRegWriter writer;
        auto thrown = Thrown([&] { writer.SetAccountRegistry(Jan()); });
        ASSERT_TRUE(thrown);
        EXPECT_EQ(static_cast<const Error::VeskExceptionCommon&>(*thrown).GetCode(), static_cast<DWORD>(c.code));
        EXPECT_NE(thrown->GetMessageText().find("Error setting account ID. (1)"), std::string::npos);
        EXPECT_EQ(thrown->GetLine(), 107);
        EXPECT_FALSE(writer.m_accountWritten);
        EXPECT_EQ(Get(kGlobalManager, "Default Mail Account").code, ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(Get(kGlobalManager, "Account Name"), (StoredValue{ERROR_SUCCESS, c.type, c.data}));
    }
}

TEST_F(WriterTest, SecondAccountGetsTheNextKeyAndBecomesTheDefault) {
    WriteIdentity(m_memory, kMainIdentity, 1);
    CIdentityRegWriter().SetAccountRegistry(Jan(MakeProvider(), "first@example.com"));
    CIdentityRegWriter().SetAccountRegistry(Jan(MakeProvider(), "second@example.com"));
    EXPECT_EQ(Get(kGlobalManager + "\\Accounts\\00000001", "Account Name"), Sz("first@example.com"));
    EXPECT_EQ(Get(kGlobalManager + "\\Accounts\\00000002", "Account Name"), Sz("second@example.com"));
    EXPECT_EQ(Get(kGlobalManager, "Default Mail Account"), Sz("00000002"));
    EXPECT_EQ(Get(kGlobalManager, "Account Name"), Dword(3));
}

TEST_F(WriterTest, LogOnNameAndAuthenticationFollowTheProvider) {
    const struct {
        bool userNameIsEmail;
        std::int32_t askUserName;
        std::int32_t smtpAuth;
        const char* logOn;
        DWORD sicily;
    } cases[] = {
        {true, 0, 1, "jan@example.com", 2},
        {false, 0, 0, "jan", 0},
        {true, 1, 5, "typed name", 2},
        {false, 1, 0, "typed name", 0},
    };
    WriteIdentity(m_memory, kMainIdentity, 1);
    for (const auto& c : cases) {
        CRefCountPtr<CProvider> provider = MakeProvider();
        provider->m_userNameIsEmail = c.userNameIsEmail;
        provider->m_askUserName = c.askUserName;
        provider->m_smtpAuth = c.smtpAuth;
        CRefCountPtr<CAccount> account = Jan(provider);
        account->SetUserName("typed name");
        CIdentityRegWriter writer;
        writer.SetAccountRegistry(account);
        const std::string key = kGlobalManager + "\\Accounts\\" + writer.m_accountKeyName;
        EXPECT_EQ(Get(key, "POP3 User Name"), Sz(c.logOn));
        EXPECT_EQ(Get(key, "SMTP Use Sicily"), Dword(c.sicily));
    }
}

// Each failure of the account's steps: the exception's message, function and line.
struct FailureCase {
    std::string name;
    std::function<void(const std::shared_ptr<MemoryRegistry>&, FaultyRegistry&)> arrange;
    std::string message;
    const char* function;
    int line;
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class AccountFailureTest : public WriterTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(AccountFailureTest, ThrowsWhatTheUserIsShown) {
    GetParam().arrange(m_memory, *m_faults);
    auto thrown = Write(Jan());
    ASSERT_TRUE(thrown);
    EXPECT_EQ(thrown->GetMessageText(), GetParam().message);
    EXPECT_EQ(thrown->GetFile(), "IdentityRegWriter");
    EXPECT_EQ(thrown->GetFunction(), std::string("CIdentityRegWriter::") + GetParam().function);
    EXPECT_EQ(thrown->GetLine(), GetParam().line);
    EXPECT_FALSE(m_writer.m_accountWritten);
}

const std::string kNotFound = "The system cannot find the file specified. (0x2)\n\n";
const std::string kIdentityText = "Error determining account identity.";
const std::string kFolderText = "Cannot access the account settings folder.";
const std::string kIdText = "Error setting account ID.";

std::vector<FailureCase> AccountFailures() {
    using Memory = std::shared_ptr<MemoryRegistry>;
    const auto main = [](const Memory& m) { WriteIdentity(m, kMainIdentity, 1); };
    std::vector<FailureCase> cases = {
        {"NoIdentities", [](const Memory&, FaultyRegistry&) {}, kNotFound + kIdentityText + " (0)",
         "GetOEStartIdentity", 37},
        {"IdentitiesDenied",
         [=](const Memory& m, FaultyRegistry& f) {
             main(m);
             f.FailKey("Identities", ERROR_ACCESS_DENIED);
         },
         AccessDenied(kIdentityText + " (0)"), "GetOEStartIdentity", 37},
        {"NoCandidate",
         [](const Memory& m, FaultyRegistry&) { CRegistryKey(m).CreateKey(HKEY_CURRENT_USER, "Identities", KEY_WRITE); },
         "Initial identity cannot be located. Run Outlook Express and try again.", "GetOEStartIdentity", 56},
        {"EmptyIdentity", [](const Memory& m, FaultyRegistry&) { WriteIdentity(m, "", 1); },
         kIdentityText + " (2)", "GetOEStartIdentity", 61},
        {"IdentityKeyMissing",
         [](const Memory& m, FaultyRegistry&) {
             CRegistryKey key(m);
             key.CreateKey(HKEY_CURRENT_USER, "Identities", KEY_READ | KEY_WRITE);
             key.WriteString("Start As", kMainIdentity);
         },
         kNotFound + kIdentityText + " (3)", "GetOEStartIdentity", 64},
        {"OrdinalNotWritable",
         [](const Memory& m, FaultyRegistry& f) {
             WriteIdentity(m, kMainIdentity, std::nullopt);
             f.FailWrite("Identity Ordinal", ERROR_ACCESS_DENIED);
         },
         AccessDenied(kIdentityText + " (4)"), "GetOEStartIdentity", 72},
        {"ManagerNotCreatable",
         [=](const Memory& m, FaultyRegistry& f) {
             main(m);
             f.FailKey("Internet Account Manager", ERROR_ACCESS_DENIED);
         },
         AccessDenied(kFolderText + " (0)"), "SetNewAccountKeyName", 97},
        {"CounterNotInitialised",
         [=](const Memory& m, FaultyRegistry& f) {
             main(m);
             f.FailWrite("Account Name", ERROR_ACCESS_DENIED, "Internet Account Manager");
         },
         AccessDenied(kIdText + " (1)"), "SetNewAccountKeyName", 107},
        {"DefaultNotWritable",
         [=](const Memory& m, FaultyRegistry& f) {
             main(m);
             f.FailWrite("Default Mail Account", ERROR_ACCESS_DENIED);
         },
         AccessDenied(kIdText + " (2)"), "SetNewAccountKeyName", 112},
        {"CounterNotAdvanced",
         [=](const Memory& m, FaultyRegistry& f) {
             main(m);
             CRegistryKey key(m);
             key.CreateKey(HKEY_CURRENT_USER, kGlobalManager.c_str(), KEY_READ | KEY_WRITE);
             key.WriteDword("Account Name", 5);
             f.FailWrite("Account Name", ERROR_ACCESS_DENIED, "Internet Account Manager");
         },
         AccessDenied(kIdText + " (3)"), "SetNewAccountKeyName", 114},
        {"AccountKeyNotCreatable",
         [=](const Memory& m, FaultyRegistry& f) {
             main(m);
             f.FailKey("Accounts\\00000001", ERROR_ACCESS_DENIED);
         },
         AccessDenied(kFolderText + " (1)"), "WriteAccountKeys", 126},
    };
    const struct {
        const char* name;
        int line;
    } values[] = {
        {"Account Name", 129},    {"SMTP Display Name", 132},        {"SMTP Email Address", 135},
        {"SMTP Use Sicily", 138}, {"POP3 Server", 141},              {"POP3 User Name", 161},
        {"SMTP Server", 164},     {"Connection Type", 166},          {"POP3 Prompt for Password", 168},
        {"POP3 Secure Connection", 170}, {"SMTP Secure Connection", 172}, {"SMTP Port", 174},
        {"POP3 Port", 176},
    };
    int step = 0;
    for (const auto& value : values) {
        ++step;
        std::string name = std::string("ValueNotWritable_") + value.name;
        for (char& c : name)
            if (c == ' ') c = '_';
        const std::string valueName = value.name;
        cases.push_back({name,
                         [=](const Memory& m, FaultyRegistry& f) {
                             main(m);
                             f.FailWrite(valueName, ERROR_ACCESS_DENIED, "Accounts\\00000001");
                         },
                         AccessDenied("Error while configuring account. (" + std::to_string(step) + ")"),
                         "WriteAccountKeys", value.line});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Steps, AccountFailureTest, ::testing::ValuesIn(AccountFailures()),
                         [](const auto& info) { return info.param.name; });

TEST_F(WriterTest, AnAccountThatFailsHalfwayLeavesNothingWritten) {
    WriteIdentity(m_memory, kMainIdentity, std::nullopt);
    m_faults->FailWrite("POP3 Server", ERROR_ACCESS_DENIED);
    ASSERT_TRUE(Write(Jan()));
    EXPECT_EQ(Get(kGlobalManager, "Default Mail Account").code, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Get(kGlobalManager, "Account Name").code, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Get(std::string("Identities\\") + kMainIdentity, "Identity Ordinal").code, ERROR_FILE_NOT_FOUND);
    CRegistryKey accounts(m_memory);
    EXPECT_EQ(accounts.OpenKey(HKEY_CURRENT_USER, kGlobalManager.c_str(), KEY_READ), ERROR_FILE_NOT_FOUND);
    // The next account takes the number this one could not keep.
    m_faults = std::make_shared<FaultyRegistry>(m_memory);
    ScopedMemorySession session(WindowsVersion(5, 1), m_faults);
    CIdentityRegWriter writer;
    writer.SetAccountRegistry(Jan());
    EXPECT_EQ(writer.m_accountKeyName, "00000001");
}

// The save of user.reg fails as on a full disk: reported, and the prefix keeps its files.
TEST_F(WriterTest, AnAccountThatCannotBeSavedIsReportedAndLeavesNothing) {
    TestPrefix prefix(WindowsRelease::WinXP);
    WriteIdentity(CRegistryKey::SessionStore(), kMainIdentity, 1);
    const std::string hive = prefix.Prefix().Folder().ReadFile("user.reg");
    const std::set<std::string> files = prefix.TopFiles();
    CIdentityRegWriter writer;
    std::unique_ptr<Error::VeskException> thrown;
    {
        const ScopedFileSizeLimit full(hive.size());
        thrown = Thrown([&] { writer.SetAccountRegistry(Jan()); });
    }
    ASSERT_TRUE(thrown);
    EXPECT_EQ(thrown->GetKind(), 2);
    EXPECT_EQ(thrown->GetMessageText(), FileTooLarge("Error while configuring account. (14)"));
    EXPECT_EQ(thrown->GetFile(), "IdentityRegWriter");
    EXPECT_EQ(thrown->GetFunction(), "CIdentityRegWriter::SetAccountRegistry");
    EXPECT_EQ(thrown->GetLine(), 196);
    EXPECT_FALSE(writer.m_accountWritten);
    EXPECT_EQ(prefix.Prefix().Folder().ReadFile("user.reg"), hive);
    EXPECT_EQ(prefix.TopFiles(), files);
    const auto store = CRegistryKey::SessionStore();
    EXPECT_EQ(ReadStored(store, HKEY_CURRENT_USER, kGlobalManager, "Account Name").code, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadStored(store, HKEY_CURRENT_USER, kGlobalManager + "\\Accounts\\00000001", "Account Name").code,
              ERROR_FILE_NOT_FOUND);
}

TEST_F(WriterTest, NoAccountToWrite) {
    WriteIdentity(m_memory, kMainIdentity, 1);
    auto thrown = Write(CRefCountPtr<CAccount>());
    ASSERT_TRUE(thrown);
    EXPECT_EQ(thrown->GetKind(), 4);
    EXPECT_EQ(thrown->GetMessageText(), "Error retrieving data for account creation. (2)");
    EXPECT_EQ(thrown->GetFunction(), "CIdentityRegWriter::SetAccountRegistry");
    EXPECT_EQ(thrown->GetLine(), 192);
    EXPECT_EQ(Get(kGlobalManager, "Account Name").code, ERROR_FILE_NOT_FOUND);

    thrown = Thrown([&] { m_writer.WriteAccountKeys(); });
    ASSERT_TRUE(thrown);
    EXPECT_EQ(thrown->GetMessageText(), "Error retrieving data for account creation. (1)");
    EXPECT_EQ(thrown->GetFunction(), "CIdentityRegWriter::WriteAccountKeys");
    EXPECT_EQ(thrown->GetLine(), 122);
}

}  // namespace
}  // namespace mailwright
