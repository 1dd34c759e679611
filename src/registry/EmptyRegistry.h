#pragma once
#include "registry/RegistryStore.h"

namespace mailwright {

// The registry of a session without a Wine prefix: no key exists and nothing can be written.
class EmptyRegistry : public RegistryStore {
public:
    LONG OpenKey(const RegistryKeyPath& key) override;
    LONG CreateKey(const RegistryKeyPath& key) override;
    LONG QueryValue(const RegistryKeyPath& key, std::u16string_view name, DWORD& type,
                    std::vector<std::uint8_t>& data) override;
    LONG SetValue(const RegistryKeyPath& key, std::u16string_view name, DWORD type,
                  std::span<const std::uint8_t> data) override;
    LONG DeleteValue(const RegistryKeyPath& key, std::u16string_view name) override;
    LONG EnumValue(const RegistryKeyPath& key, DWORD index, std::u16string& name, DWORD& type,
                   std::vector<std::uint8_t>& data) override;
    LONG EnumSubKey(const RegistryKeyPath& key, DWORD index, std::u16string& name) override;
};

}  // namespace mailwright
