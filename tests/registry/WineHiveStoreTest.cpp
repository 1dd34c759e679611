// The prefix's hive files under the key layer: real hives, views, files on disk,
// several writers, a running wineserver.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>
#include <utility>

#include "registry/WineHive.h"
#include "registry/WineHiveStore.h"
#include "registry/CRegistryKey.h"
#include "support/TextUtil.h"
#include "testlib/RunningWineServer.h"
#include "testlib/TempFolder.h"

namespace mailwright {
namespace {

using testing::TempFolder;

std::string DataFile(const std::string& relative) {
    std::ifstream in(std::string(MW_TEST_DATA_DIR) + "/" + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class WineHiveStoreTest : public ::testing::Test {
protected:
    void CopyFixture() {
        for (const char* name : {"user.reg", "system.reg"})
            m_prefix.WriteFile(name, DataFile(std::string("wine-prefix-win7-64/") + name));
    }
    std::shared_ptr<WineHiveStore> Store() { return std::make_shared<WineHiveStore>(m_prefix.Path()); }

    LONG WriteDword(const std::shared_ptr<RegistryStore>& store, const char* path, const char* name, DWORD value) {
        CRegistryKey key(store);
        if (const LONG code = key.CreateKey(HKEY_CURRENT_USER, path, KEY_READ | KEY_WRITE)) return code;
        return key.WriteDword(name, value);
    }

    DWORD ReadDword(const std::shared_ptr<RegistryStore>& store, const char* path, const char* name) {
        CRegistryKey key(store);
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_CURRENT_USER, path, KEY_READ));
        EXPECT_EQ(ERROR_SUCCESS, key.ReadDword(name, value));
        return value;
    }

    TempFolder m_prefix;
};

TEST_F(WineHiveStoreTest, ReadsTheRealHivesAsA32BitProgram) {
    CopyFixture();
    CRegistryKey key(Store());
    std::string text;
    DWORD type = 0;
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows Live Mail", KEY_READ));
    EXPECT_EQ(ERROR_SUCCESS, key.ReadString("Store Root", text, 260));
    EXPECT_EQ("%LOCALAPPDATA%\\Microsoft\\Windows Live Mail", text);
    EXPECT_EQ(ERROR_SUCCESS, key.QueryValue("store root", &type, nullptr, nullptr));
    EXPECT_EQ(REG_EXPAND_SZ, type);

    // The Windows version lives in the 64-bit view only.
    const char* version = "Software\\Microsoft\\Windows NT\\CurrentVersion";
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_LOCAL_MACHINE, version, KEY_READ));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.ReadString("CurrentVersion", text, 16));
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_LOCAL_MACHINE, version, KEY_READ | KEY_WOW64_64KEY));
    EXPECT_EQ(ERROR_SUCCESS, key.ReadString("CurrentVersion", text, 16));
    EXPECT_EQ("6.1", text);

    // Shared keys are Wine's links from Wow6432Node back to the 64-bit key.
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Cryptography", KEY_READ));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.ValueExists("MachineGuid"));
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Clients", KEY_READ));
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_CLASSES_ROOT, "TypeLib\\{00020430-0000-0000-C000-000000000046}", KEY_READ));
    ASSERT_EQ(ERROR_FILE_NOT_FOUND, key.OpenKey(HKEY_CLASSES_ROOT, ".ini", KEY_READ));
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_CLASSES_ROOT, ".ini", KEY_READ | KEY_WOW64_64KEY));
}

TEST_F(WineHiveStoreTest, AWriteAddsOnlyTheKeyWritten) {
    CopyFixture();
    const std::string before = m_prefix.ReadFile("user.reg");
    ASSERT_EQ(ERROR_SUCCESS, WriteDword(Store(), "Software\\Brightfold\\Mailwright", "Count", 1250));
    const std::string after = m_prefix.ReadFile("user.reg");
    const size_t start = after.find("\n[Software\\\\Brightfold\\\\Mailwright] ");
    ASSERT_NE(std::string::npos, start);
    const size_t end = after.find("\n[", start + 1);
    const std::string block = after.substr(start, end - start);
    EXPECT_NE(std::string::npos, block.find("\n#time="));
    EXPECT_TRUE(block.ends_with("\n\"Count\"=dword:000004e2\n")) << block;
    EXPECT_TRUE(std::string(after).erase(start, end - start) == before);
    EXPECT_EQ(m_prefix.ReadFile("system.reg"), DataFile("wine-prefix-win7-64/system.reg"));
}

TEST_F(WineHiveStoreTest, AHiveChangedOnDiskIsReadAgain) {
    CopyFixture();
    auto first = Store();
    auto second = Store();
    ASSERT_EQ(ERROR_SUCCESS, WriteDword(first, "Software\\Counter", "n", 1));
    EXPECT_EQ(1u, ReadDword(second, "Software\\Counter", "n"));
    ASSERT_EQ(ERROR_SUCCESS, WriteDword(second, "Software\\Counter", "n", 2));
    EXPECT_EQ(2u, ReadDword(first, "Software\\Counter", "n"));
    // The first store's next write builds on the second's.
    ASSERT_EQ(ERROR_SUCCESS, WriteDword(first, "Software\\Counter", "m", 3));
    EXPECT_EQ(2u, ReadDword(Store(), "Software\\Counter", "n"));
}

TEST_F(WineHiveStoreTest, AHiveNotLaidOutAsWinesFailsAndIsNeverWritten) {
    const std::string broken = "WINE REGISTRY Version 2\nnot a key\n\n[Software] 1\n";
    m_prefix.WriteFile("user.reg", broken);
    auto store = Store();
    CRegistryKey key(store);
    EXPECT_EQ(ERROR_BADDB, key.OpenKey(HKEY_CURRENT_USER, "Software", KEY_READ));
    EXPECT_EQ(ERROR_BADDB, key.CreateKey(HKEY_CURRENT_USER, "Software\\New", KEY_READ | KEY_WRITE));
    EXPECT_EQ(broken, m_prefix.ReadFile("user.reg"));
    EXPECT_NE(std::string::npos, store->HiveProblem().find("user.reg: line 2"));
    // The other hive is unharmed.
    EXPECT_EQ(ERROR_SUCCESS, key.CreateKey(HKEY_LOCAL_MACHINE, "Software\\New", KEY_READ | KEY_WRITE));
    EXPECT_EQ(ERROR_SUCCESS, key.WriteDword("ok", 1));
    EXPECT_EQ(broken, m_prefix.ReadFile("user.reg"));
}

// Wine skips a key line it cannot read, and the lines up to the next key with it; it
// reads a run of separators as one.
TEST_F(WineHiveStoreTest, AKeyLineWineCannotReadIsSkippedAndKept) {
    const std::string skipped = "\n[Software\\\\Bad\\\\Unclosed 1\n\"x\"=\"y\"\n";
    const std::string text = "WINE REGISTRY Version 2\n\n[Software\\\\Good] 1\n\"n\"=dword:00000001\n" + skipped +
                             "\n[Software\\\\Bad\\\\\\\\Empty] 1\n\"e\"=dword:00000002\n";
    m_prefix.WriteFile("user.reg", text);
    auto store = Store();
    EXPECT_EQ(1u, ReadDword(store, "Software\\Good", "n"));
    EXPECT_EQ(2u, ReadDword(store, "Software\\Bad\\Empty", "e"));
    CRegistryKey key(store);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.OpenKey(HKEY_CURRENT_USER, "Software\\Bad\\Unclosed", KEY_READ));
    EXPECT_EQ("", store->HiveProblem());
    // The key before the skipped lines is written anew; the lines stay.
    ASSERT_EQ(ERROR_SUCCESS, WriteDword(store, "Software\\Good", "m", 2));
    const std::string written = m_prefix.ReadFile("user.reg");
    EXPECT_NE(std::string::npos, written.find(skipped)) << written;
    EXPECT_EQ(2u, ReadDword(Store(), "Software\\Good", "m"));
    EXPECT_EQ(2u, ReadDword(Store(), "Software\\Bad\\Empty", "e"));
}

TEST_F(WineHiveStoreTest, AKeyWithMalformedValuesReadsThemAsWineDoesAndKeepsTheirLines) {
    const std::string malformed = "\"x\"=dword:123456789\n\"z\"=hex:zz\n";
    m_prefix.WriteFile("user.reg", "WINE REGISTRY Version 2\n\n[Software\\\\Damaged] 1\n" + malformed);
    auto store = Store();
    EXPECT_EQ(0x23456789u, ReadDword(store, "Software\\Damaged", "x"));
    CRegistryKey key(store);
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_CURRENT_USER, "Software\\Damaged", KEY_READ | KEY_WRITE));
    DWORD type = 0xdeadbeef, size = 0xdeadbeef;
    EXPECT_EQ(ERROR_SUCCESS, key.QueryValue("z", &type, nullptr, &size));
    EXPECT_EQ(REG_NONE, type);
    EXPECT_EQ(0u, size);
    ASSERT_EQ(ERROR_SUCCESS, key.WriteDword("y", 1));
    const std::string written = m_prefix.ReadFile("user.reg");
    EXPECT_NE(std::string::npos, written.find("\"x\"=dword:123456789\n\"y\"=dword:00000001\n\"z\"=hex:zz\n")) << written;
    EXPECT_EQ(1u, ReadDword(Store(), "Software\\Damaged", "y"));
    // A value the program writes replaces the line it was read from.
    ASSERT_EQ(ERROR_SUCCESS, key.WriteDword("x", 5));
    EXPECT_NE(std::string::npos, m_prefix.ReadFile("user.reg").find("\"x\"=dword:00000005\n"));
}

TEST_F(WineHiveStoreTest, WritesAreRefusedWhileWineRunsThePrefix) {
    CopyFixture();
    auto store = Store();
    CRegistryKey key(store);
    ASSERT_EQ(ERROR_SUCCESS, key.CreateKey(HKEY_CURRENT_USER, "Software\\Brightfold", KEY_READ | KEY_WRITE));
    ASSERT_EQ(ERROR_SUCCESS, key.WriteDword("kept", 7));
    const std::string before = m_prefix.ReadFile("user.reg");
    {
        testing::RunningWineServer server(m_prefix.Path());
        EXPECT_EQ(ERROR_SHARING_VIOLATION, key.WriteDword("n", 1));
        EXPECT_EQ(ERROR_SHARING_VIOLATION, key.WriteString("s", "x"));
        EXPECT_EQ(ERROR_SHARING_VIOLATION, key.DeleteValue("kept"));
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.DeleteValue("n"));  // nothing to change
        EXPECT_EQ(ERROR_SUCCESS, key.WriteDword("kept", 7));    // the same value again changes nothing
        CRegistryKey other(store);
        EXPECT_EQ(ERROR_SHARING_VIOLATION, other.CreateKey(HKEY_CURRENT_USER, "Software\\Other", KEY_WRITE));
        // Opening an existing key for writing is no change.
        EXPECT_EQ(ERROR_SUCCESS, other.CreateKey(HKEY_CURRENT_USER, "Software\\Brightfold", KEY_READ | KEY_WRITE));
        EXPECT_EQ(before, m_prefix.ReadFile("user.reg"));
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.ValueExists("n"));  // reads still work
        EXPECT_EQ(ERROR_SUCCESS, other.OpenKey(HKEY_CURRENT_USER, "Software\\Microsoft", KEY_READ));
    }
    EXPECT_EQ(ERROR_SUCCESS, key.WriteDword("n", 1));
}

TEST_F(WineHiveStoreTest, LinksThatLoopOrLeadNowhereFindNothing) {
    const auto link = [](const std::string& path, const std::string& target) {
        std::string data;
        for (char c : target) data += (data.empty() ? "" : ",") + Format("%02x,00", static_cast<unsigned char>(c));
        return "\n[" + path + "] 1700000000\n#link\n\"SymbolicLinkValue\"=hex(6):" + data + "\n";
    };
    m_prefix.WriteFile("system.reg", "WINE REGISTRY Version 2\n" + link("Loop", "\\Registry\\Machine\\Loop") +
                                         link("Nowhere", "\\Registry\\Machine\\Missing") +
                                         link("Odd", "C:\\not\\a\\key") +
                                         "\n[NoTarget] 1700000000\n#link\n");
    CRegistryKey key(Store());
    for (const char* path : {"Loop", "Loop\\Sub", "Nowhere", "Odd", "NoTarget"}) {
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_READ)) << path;
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.CreateKey(HKEY_LOCAL_MACHINE, path, KEY_READ | KEY_WRITE)) << path;
    }
}

TEST_F(WineHiveStoreTest, AHiveKeepsItsMode) {
    CopyFixture();
    ASSERT_EQ(0, ::chmod(m_prefix.Sub("user.reg").c_str(), 0640));
    ASSERT_EQ(ERROR_SUCCESS, WriteDword(Store(), "Software\\Mode", "n", 1));
    struct stat st;
    ASSERT_EQ(0, ::stat(m_prefix.Sub("user.reg").c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);
}

TEST_F(WineHiveStoreTest, ANewPrefixGetsWinesHeader) {
    ASSERT_EQ(ERROR_SUCCESS, WriteDword(Store(), "Software", "n", 1));
    const std::string text = m_prefix.ReadFile("user.reg");
    EXPECT_TRUE(text.starts_with("WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n[Software] "))
        << text;
    EXPECT_FALSE(m_prefix.Exists("system.reg"));
}

// A hive of about 2 MB, so that a save takes long enough to be interrupted.
void WriteLargeHive(const TempFolder& prefix) {
    std::string text = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n";
    for (int i = 0; i < 20000; ++i)
        text += "\n[Software\\\\Bulk\\\\Key" + std::to_string(100000 + i) + "] 1700000000\n#time=1da0a5f0e0b3c00\n"
                "\"Value\"=\"some text that makes the file larger\"\n\"N\"=dword:0000002a\n";
    prefix.WriteFile("user.reg", text);
}

// Which temporary file lies beside the hive, if any: a new one has another inode or time.
std::optional<std::pair<ino_t, long long>> TemporaryFileOf(const TempFolder& prefix) {
    struct stat st {};
    if (::stat(prefix.Sub("user.reg.mailwright-tmp").c_str(), &st) != 0) return std::nullopt;
    return std::make_pair(st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec);
}

// Kills a writer at moments spread over its saves. A kill that leaves a temporary file of
// its own fell inside a save; without one the case is not tested, so rounds go on (up to
// a bound) until one did.
TEST_F(WineHiveStoreTest, AWriterKilledMidSaveLeavesTheOldOrTheNewHive) {
    WriteLargeHive(m_prefix);
    int midSave = 0, round = 0;
    for (; round < 6 || (midSave == 0 && round < 40); ++round) {
        const auto temporaryBefore = TemporaryFileOf(m_prefix);
        // The writer says when its first save is done: reading the hive takes longer than a
        // save, and far longer under sanitizers, so the kills are timed from there.
        int saving[2];
        ASSERT_EQ(0, ::pipe(saving));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(saving[0]);
            auto store = std::make_shared<WineHiveStore>(m_prefix.Path());
            CRegistryKey key(store);
            key.CreateKey(HKEY_CURRENT_USER, "Software\\Bulk\\Counter", KEY_READ | KEY_WRITE);
            key.WriteDword("n", 1);
            if (::write(saving[1], "s", 1) != 1) ::_exit(1);
            for (DWORD i = 2;; ++i) key.WriteDword("n", i);
        }
        ::close(saving[1]);
        char said = 0;
        (void)!::read(saving[0], &said, 1);  // 0 bytes when the writer ended first
        ::close(saving[0]);
        std::this_thread::sleep_for(std::chrono::milliseconds(1 + 13 * (round % 6) + round / 6));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const auto temporary = TemporaryFileOf(m_prefix);
        if (temporary && temporary != temporaryBefore) ++midSave;

        WineHive hive;
        std::string error;
        ASSERT_TRUE(hive.Parse(m_prefix.ReadFile("user.reg"), error)) << "round " << round << ": " << error;
        const RegistryKeyNode* bulk = hive.Root().FindSubKey(u"Software")->FindSubKey(u"Bulk");
        ASSERT_NE(nullptr, bulk);
        EXPECT_GE(bulk->SubKeys().size(), 20000u);
        EXPECT_NE(nullptr, bulk->FindSubKey(u"Key119999"));
    }
    EXPECT_GT(midSave, 0) << "none of " << round << " kills fell inside a save";
}

TEST_F(WineHiveStoreTest, TwoWritersLoseNoIncrement) {
    CopyFixture();
    constexpr DWORD kRounds = 40;
    pid_t children[2];
    for (int id = 0; id < 2; ++id) {
        children[id] = ::fork();
        ASSERT_GE(children[id], 0);
        if (children[id] == 0) {
            auto store = std::make_shared<WineHiveStore>(m_prefix.Path());
            CRegistryKey key(store);
            const std::string name = "counter" + std::to_string(id);
            bool ok = key.CreateKey(HKEY_CURRENT_USER, "Software\\Counters", KEY_READ | KEY_WRITE) == ERROR_SUCCESS;
            for (DWORD i = 0; ok && i < kRounds; ++i) {
                DWORD value = 0;
                key.ReadDword(name.c_str(), value);
                ok = key.WriteDword(name.c_str(), value + 1) == ERROR_SUCCESS &&
                     key.WriteDword((name + "-" + std::to_string(i)).c_str(), i) == ERROR_SUCCESS;
            }
            ::_exit(ok ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto store = Store();
    for (int id = 0; id < 2; ++id) {
        const std::string name = "counter" + std::to_string(id);
        EXPECT_EQ(kRounds, ReadDword(store, "Software\\Counters", name.c_str()));
        for (DWORD i = 0; i < kRounds; ++i)
            EXPECT_EQ(i, ReadDword(store, "Software\\Counters", (name + "-" + std::to_string(i)).c_str()));
    }
}

}  // namespace
}  // namespace mailwright
