#pragma once
#include <functional>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include "registry/RegistryStore.h"
#include "testlib/TempFolder.h"

namespace mailwright::testing {

// One kind of registry store for tables of tests that every store must pass. A 64-bit
// store starts with HKLM\Software\Wow6432Node and one shared key, the link
// Software\Wow6432Node\Microsoft\Shared -> Software\Microsoft\Shared.
struct RegistryStoreMaker {
    std::string name;
    bool win64 = false;
    // Makes an empty store; files, if any, go into the folder.
    std::function<std::shared_ptr<RegistryStore>(const TempFolder&)> make;
};

std::vector<RegistryStoreMaker> AllRegistryStores();

inline void PrintTo(const RegistryStoreMaker& maker, std::ostream* out) { *out << maker.name; }

}  // namespace mailwright::testing
