#include "testlib/RegistryFixture.h"

#include <gtest/gtest.h>

#include <ostream>

namespace mailwright::testing {

StoredValue ReadStored(const std::shared_ptr<RegistryStore>& store, HKEY root, const std::string& path,
                       const char* name) {
    StoredValue value;
    CRegistryKey key(store);
    value.code = key.OpenKey(root, path.c_str(), KEY_READ);
    if (value.code != ERROR_SUCCESS) return value;
    DWORD size = 0;
    value.code = key.QueryValue(name, &value.type, nullptr, &size);
    if (value.code != ERROR_SUCCESS) return StoredValue{value.code, REG_NONE, {}};
    value.data.resize(size);
    value.code = key.QueryValue(name, &value.type, value.data.data(), &size);
    return value;
}

StoredValue Sz(const std::string& text) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return {ERROR_SUCCESS, REG_SZ, data};
}

StoredValue Dword(DWORD number) {
    return {ERROR_SUCCESS, REG_DWORD,
            {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
             static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)}};
}

StoredValue Binary(std::vector<std::uint8_t> bytes) { return {ERROR_SUCCESS, REG_BINARY, std::move(bytes)}; }

void PrintTo(const StoredValue& value, std::ostream* out) {
    *out << "{code " << value.code << ", type " << value.type << ", data";
    for (std::uint8_t b : value.data) *out << ' ' << std::hex << static_cast<int>(b) << std::dec;
    *out << "}";
}

void WriteIdentity(const std::shared_ptr<RegistryStore>& store, const char* id, std::optional<DWORD> ordinal,
                   const char* candidate) {
    CRegistryKey identities(store);
    ASSERT_EQ(ERROR_SUCCESS, identities.CreateKey(HKEY_CURRENT_USER, "Identities", KEY_READ | KEY_WRITE));
    ASSERT_EQ(ERROR_SUCCESS, identities.WriteString(candidate, id));
    CRegistryKey identity(store);
    const std::string path = std::string("Identities\\") + id;
    ASSERT_EQ(ERROR_SUCCESS, identity.CreateKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ | KEY_WRITE));
    ASSERT_EQ(ERROR_SUCCESS, identity.WriteString("Username", "Main Identity"));
    if (ordinal) {
        ASSERT_EQ(ERROR_SUCCESS, identity.WriteDword("Identity Ordinal", *ordinal));
    }
}

}  // namespace mailwright::testing
