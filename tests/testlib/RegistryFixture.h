#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "registry/RegistryStore.h"
#include "registry/CRegistryKey.h"

namespace mailwright::testing {

// A value as the store holds it, or the code of the read that failed.
struct StoredValue {
    LONG code = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;  // strings in the ANSI code page, with their NUL

    bool operator==(const StoredValue&) const = default;
};

StoredValue ReadStored(const std::shared_ptr<RegistryStore>& store, HKEY root, const std::string& path,
                       const char* name);

// The stored forms of the values the writers write.
StoredValue Sz(const std::string& text);
StoredValue Dword(DWORD number);
StoredValue Binary(std::vector<std::uint8_t> bytes);

void PrintTo(const StoredValue& value, std::ostream* out);

// Outlook Express's identities as it leaves them: "Start As" naming the identity (when
// given) and the identity's key with its "Identity Ordinal" (when given).
inline constexpr char kMainIdentity[] = "{4B0A8E3C-1D2F-4E5A-9B6C-7D8E9F0A1B2C}";
inline constexpr char kOtherIdentity[] = "{0F1E2D3C-4B5A-4968-8776-655443322110}";
void WriteIdentity(const std::shared_ptr<RegistryStore>& store, const char* id, std::optional<DWORD> ordinal,
                   const char* candidate = "Start As");

}  // namespace mailwright::testing
