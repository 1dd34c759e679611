// stress_prefix: the prefix of scripts/stress, and what it finds there afterwards.
//   stress_prefix make DIR KB   a Wine prefix whose user.reg holds an Outlook Express
//                               identity and about KB kilobytes of other keys, drive C: and
//                               no application folder yet
//   stress_prefix check DIR     reads DIR/user.reg whole and prints, on one line, whether
//                               it reads, the accounts, their distinct addresses, the counter,
//                               the accounts that lack values and our temporary files; exit
//                               status 0 only when
//                               the hive reads, every account is whole, the counter is one
//                               past the highest account and at most one temporary file is left
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

#include "registry/WineHive.h"
#include "testlib/RegistryFixture.h"
#include "testlib/TempWinePrefix.h"

using namespace mailwright;

namespace {

// The values the Outlook Express writer gives every account.
constexpr const char16_t* kAccountValues[] = {
    u"Account Name", u"SMTP Display Name", u"SMTP Email Address", u"SMTP Use Sicily", u"POP3 Server",
    u"POP3 User Name", u"SMTP Server", u"Connection Type", u"POP3 Prompt for Password",
    u"POP3 Secure Connection", u"SMTP Secure Connection", u"SMTP Port", u"POP3 Port",
};

std::string Header(const std::string& branch) {
    return "WINE REGISTRY Version 2\n;; All keys relative to " + branch + "\n\n#arch=win64\n";
}

int Make(const std::string& folder, long kilobytes) {
    std::filesystem::create_directories(folder + "/drive_c/users");
    std::filesystem::create_directories(folder + "/dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", folder + "/dosdevices/c:");
    std::string keys = testing::TempWinePrefix::UserKeys();
    const std::string id = testing::kMainIdentity;
    keys += "\n[Identities] 1700000000\n#time=1da0a5f0e0b3c00\n\"Last User ID\"=\"" + id + "\"\n" +
            "\n[Identities\\\\" + id + "] 1700000000\n#time=1da0a5f0e0b3c00\n\"Identity Ordinal\"=dword:00000001\n";
    for (int i = 0; static_cast<long>(keys.size()) < kilobytes * 1024; ++i)
        keys += "\n[Software\\\\Bulk\\\\Key" + std::to_string(100000 + i) + "] 1700000000\n#time=1da0a5f0e0b3c00\n" +
                "\"Value\"=\"some text that makes the hive larger\"\n\"N\"=dword:0000002a\n";
    std::ofstream(folder + "/user.reg", std::ios::binary)
        << Header("REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000") + keys;
    std::ofstream(folder + "/system.reg", std::ios::binary)
        << Header("REGISTRY\\\\Machine") + testing::TempWinePrefix::SystemKeys(testing::WindowsRelease::WinXP, true);
    return 0;
}

int TemporaryFiles(const std::string& folder) {
    int count = 0;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (std::string(entry->d_name).ends_with(".mailwright-tmp")) ++count;
        ::closedir(dir);
    }
    return count;
}

RegistryKeyNode* Find(RegistryKeyNode* node, std::initializer_list<std::u16string_view> path) {
    for (std::u16string_view name : path) node = node ? node->FindSubKey(name) : nullptr;
    return node;
}

int Check(const std::string& folder) {
    std::ifstream in(folder + "/user.reg", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    WineHive hive;
    std::string error;
    const bool reads = hive.Parse(text.str(), error) && hive.DecodeAll(error);
    unsigned accounts = 0, halfWritten = 0, highest = 0;
    std::set<std::vector<std::uint8_t>> addresses;
    long counter = -1;
    if (RegistryKeyNode* manager = Find(&hive.Root(), {u"Software", u"Microsoft", u"Internet Account Manager"})) {
        if (const RegistryValue* value = manager->FindValue(u"Account Name"); value && value->data.size() == 4)
            counter = value->data[0] | (value->data[1] << 8) | (value->data[2] << 16) | (value->data[3] << 24);
        if (RegistryKeyNode* list = manager->FindSubKey(u"Accounts")) {
            for (const RegistryKeyNode* account : list->SubKeys()) {
                ++accounts;
                highest = std::max(highest, static_cast<unsigned>(std::strtoul(
                                                std::string(account->Name().begin(), account->Name().end()).c_str(),
                                                nullptr, 16)));
                if (const RegistryValue* address = account->FindValue(u"SMTP Email Address")) addresses.insert(address->data);
                for (const char16_t* name : kAccountValues) {
                    if (!account->FindValue(name)) {
                        ++halfWritten;
                        break;
                    }
                }
            }
        }
    }
    const int temporary = TemporaryFiles(folder);
    std::cout << "hive=" << (reads ? "reads" : "torn(" + error + ")") << " accounts=" << accounts
              << " distinct_addresses=" << addresses.size() << " counter=" << counter << " half_written=" << halfWritten << " temporary_files=" << temporary
              << std::endl;
    const bool counterFits = accounts == 0 || counter == static_cast<long>(highest) + 1;
    return reads && halfWritten == 0 && temporary <= 1 && counterFits ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 2 ? argv[1] : "";
    if (command == "make" && argc == 4) return Make(argv[2], std::atol(argv[3]));
    if (command == "check" && argc == 3) return Check(argv[2]);
    std::cerr << "usage: stress_prefix make DIR KB | check DIR\n";
    return 2;
}
