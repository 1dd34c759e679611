#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/RegistryStore.h"

namespace mailwright::testing {

// A store that hands every operation to another one, except those the test makes fail,
// so that each failure path of a writer can be reached. Paths and names are matched
// without regard to ASCII case; a key path matches when it ends with the given tail.
class FaultyRegistry : public RegistryStore {
public:
    explicit FaultyRegistry(std::shared_ptr<RegistryStore> inner);

    // Opening or creating the key fails with `code`.
    void FailKey(const std::string& pathTail, LONG code);
    // Writing the value fails with `code`; in keys ending with `pathTail` when it is given.
    void FailWrite(const std::string& valueName, LONG code, const std::string& pathTail = "");

    LONG OpenKey(const RegistryKeyPath& key) override;
    LONG CreateKey(const RegistryKeyPath& key) override;
    LONG QueryValue(const RegistryKeyPath& key, std::u16string_view name, DWORD& type,
                    std::vector<std::uint8_t>& data) override;
    LONG SetValue(const RegistryKeyPath& key, std::u16string_view name, DWORD type,
                  std::span<const std::uint8_t> data) override;
    LONG DeleteValue(const RegistryKeyPath& key, std::u16string_view name) override;
    LONG EnumSubKey(const RegistryKeyPath& key, DWORD index, std::u16string& name) override;
    LONG EnumValue(const RegistryKeyPath& key, DWORD index, std::u16string& name) override;

private:
    struct Rule {
        std::string pathTail;
        std::string valueName;
        bool isKey = false;
        LONG code = ERROR_SUCCESS;
    };
    LONG KeyFailure(const RegistryKeyPath& key) const;

    std::shared_ptr<RegistryStore> m_inner;
    std::vector<Rule> m_rules;
};

}  // namespace mailwright::testing
