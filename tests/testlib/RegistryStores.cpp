#include "testlib/RegistryStores.h"

#include "platform/MemoryRegistry.h"

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

}  // namespace

std::vector<RegistryStoreMaker> AllRegistryStores() {
    return {
        {"Memory32", false, [](const TempFolder&) { return MakeMemory(false); }},
        {"Memory64", true, [](const TempFolder&) { return MakeMemory(true); }},
    };
}

}  // namespace mailwright::testing
