#include "testlib/RegistryStores.h"

#include "support/TextUtil.h"

#include "registry/MemoryRegistry.h"
#include "registry/WineHiveStore.h"

namespace mailwright::testing {
namespace {

std::shared_ptr<RegistryStore> MakeMemory(bool win64) {
    auto store = std::make_shared<MemoryRegistry>(win64);
    if (win64) {
        store->CreateKey(RegistryKeyPath{RegistryRoot::LocalMachine, {u"Software", u"Wow6432Node"}, true});
        store->AddLink(RegistryRoot::LocalMachine, u"Software\\Wow6432Node\\Microsoft\\Shared",
                       u"\\Registry\\Machine\\Software\\Microsoft\\Shared");
    }
    return store;
}

// A 64-bit system.reg as Wine starts one, cut down to the keys the tables need.
std::string Win64SystemHive() {
    std::string link;
    for (char c : std::string("\\Registry\\Machine\\Software\\Microsoft\\Shared")) {
        if (!link.empty()) link += ",";
        link += Format("%02x,00", static_cast<unsigned char>(c));
    }
    return "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n"
           "\n[Software\\\\Wow6432Node\\\\Microsoft\\\\Shared] 1700000000\n#time=1da0a5f0e0b3c00\n#link\n"
           "\"SymbolicLinkValue\"=hex(6):" + link + "\n";
}

std::shared_ptr<RegistryStore> MakeHive(const TempFolder& folder, bool win64) {
    if (win64) folder.WriteFile("system.reg", Win64SystemHive());
    return std::make_shared<WineHiveStore>(folder.Path());
}

}  // namespace

std::vector<RegistryStoreMaker> AllRegistryStores() {
    return {
        {"Memory32", false, [](const TempFolder&) { return MakeMemory(false); }},
        {"Memory64", true, [](const TempFolder&) { return MakeMemory(true); }},
        {"Hive32", false, [](const TempFolder& folder) { return MakeHive(folder, false); }},
        {"Hive64", true, [](const TempFolder& folder) { return MakeHive(folder, true); }},
    };
}

}  // namespace mailwright::testing
