#pragma once
#include <memory>
#include <string>
#include <vector>

#include "registry/RegistryStore.h"

namespace mailwright::testing {

// A store that hands every operation to another one, except those the test makes fail,
// so that each failure path of a writer can be reached. Paths and names are matched
// without regard to ASCII case; a key path matches when it ends with the given tail.
class FaultyRegistry : public RegistryStore {
public:
    explicit FaultyRegistry(std::shared_ptr<RegistryStore> inner);

    // Opening or creating the key fails with `code`, after `passes` calls that succeed.
    void FailKey(const std::string& pathTail, LONG code, int passes = 0);
    // Writing the value fails with `code`, in keys ending with `pathTail` when it is given,
    // after `passes` writes that succeed.
    void FailWrite(const std::string& valueName, LONG code, const std::string& pathTail = "", int passes = 0);
    // Writing the value throws std::bad_alloc, as a failing allocation would.
    void ThrowOnWrite(const std::string& valueName);

    LONG OpenKey(const RegistryKeyPath& key) override;
    LONG CreateKey(const RegistryKeyPath& key) override;
    LONG QueryValue(const RegistryKeyPath& key, std::u16string_view name, DWORD& type,
                    std::vector<std::uint8_t>& data) override;
    LONG SetValue(const RegistryKeyPath& key, std::u16string_view name, DWORD type,
                  std::span<const std::uint8_t> data) override;
    LONG DeleteValue(const RegistryKeyPath& key, std::u16string_view name) override;
    LONG EnumSubKey(const RegistryKeyPath& key, DWORD index, std::u16string& name) override;
    LONG EnumValue(const RegistryKeyPath& key, DWORD index, std::u16string& name, DWORD& type,
                   std::vector<std::uint8_t>& data) override;
    LONG BeginTransaction() override { return m_inner->BeginTransaction(); }
    LONG CommitTransaction() override { return m_inner->CommitTransaction(); }
    void AbandonTransaction() override { m_inner->AbandonTransaction(); }

private:
    struct Rule {
        std::string pathTail;
        std::string valueName;
        bool isKey = false;
        LONG code = ERROR_SUCCESS;
        int passes = 0;
        bool throws = false;
    };
    // The code of the first rule that applies and has no passes left; 0 when none.
    LONG Failure(const RegistryKeyPath& key, const std::string* valueName);

    std::shared_ptr<RegistryStore> m_inner;
    std::vector<Rule> m_rules;
};

}  // namespace mailwright::testing
