#include "registry/EmptyRegistry.h"

namespace mailwright {

// Only a key that was opened reaches the value operations, and none can be: their codes
// are those of a key that vanished.
LONG EmptyRegistry::OpenKey(const RegistryKeyPath&) { return ERROR_FILE_NOT_FOUND; }
LONG EmptyRegistry::CreateKey(const RegistryKeyPath&) { return ERROR_ACCESS_DENIED; }
LONG EmptyRegistry::QueryValue(const RegistryKeyPath&, std::u16string_view, DWORD&, std::vector<std::uint8_t>&) {
    return ERROR_KEY_DELETED;
}
LONG EmptyRegistry::SetValue(const RegistryKeyPath&, std::u16string_view, DWORD, std::span<const std::uint8_t>) {
    return ERROR_ACCESS_DENIED;
}
LONG EmptyRegistry::DeleteValue(const RegistryKeyPath&, std::u16string_view) { return ERROR_ACCESS_DENIED; }
LONG EmptyRegistry::EnumValue(const RegistryKeyPath&, DWORD, std::u16string&, DWORD&, std::vector<std::uint8_t>&) {
    return ERROR_KEY_DELETED;
}
LONG EmptyRegistry::EnumSubKey(const RegistryKeyPath&, DWORD, std::u16string&) { return ERROR_KEY_DELETED; }

}  // namespace mailwright
