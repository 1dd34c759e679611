#include "registry/CRegistryKey.h"

#include <cstring>
#include <vector>

#include "registry/EmptyRegistry.h"
#include "support/AnsiCodePage.h"
#include "support/WindowsSession.h"

namespace mailwright {
namespace {

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::u16string NameOf(const char* valueName) { return valueName ? Utf8ToUtf16(valueName) : std::u16string(); }

std::vector<std::uint8_t> LittleEndian(DWORD value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// Appends the components of a backslash-separated path; empty components are skipped.
void AppendComponents(const char* path, std::vector<std::u16string>& components) {
    const std::u16string text = Utf8ToUtf16(path);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(u'\\', start);
        if (end == std::u16string::npos) end = text.size();
        if (end > start) components.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

}  // namespace

std::shared_ptr<RegistryStore> CRegistryKey::SessionStore() {
    if (std::shared_ptr<RegistryStore> store = WindowsSession::Current()->Registry()) return store;
    static const std::shared_ptr<RegistryStore> empty = std::make_shared<EmptyRegistry>();
    return empty;
}

CRegistryKey::CRegistryKey(std::shared_ptr<RegistryStore> store) : m_store(std::move(store)), m_storeGiven(true) {}

LONG CRegistryKey::Open(std::shared_ptr<RegistryStore> store, RegistryKeyPath path, const char* subPath, DWORD access,
                        bool create) {
    if (subPath && subPath[0] == '\\') return ERROR_BAD_PATHNAME;
    if (subPath) AppendComponents(subPath, path.components);
    if (access & KEY_WOW64_64KEY) path.nativeView = true;
    if (access & KEY_WOW64_32KEY) path.nativeView = false;
    const LONG code = create ? store->CreateKey(path) : store->OpenKey(path);
    if (code != ERROR_SUCCESS) return code;
    m_store = std::move(store);
    m_path = std::move(path);
    m_access = access;
    m_open = true;
    return ERROR_SUCCESS;
}

LONG CRegistryKey::OpenKey(HKEY root, const char* path, DWORD access) {
    std::shared_ptr<RegistryStore> store = m_storeGiven ? m_store : SessionStore();
    return Open(std::move(store), RegistryKeyPath{root, {}, false}, path, access, false);
}

LONG CRegistryKey::OpenKey(const CRegistryKey& parent, const char* path, DWORD access) {
    if (!parent.m_open) return ERROR_INVALID_HANDLE;
    return Open(parent.m_store, parent.m_path, path, access, false);
}

LONG CRegistryKey::CreateKey(HKEY root, const char* path, DWORD access) {
    std::shared_ptr<RegistryStore> store = m_storeGiven ? m_store : SessionStore();
    return Open(std::move(store), RegistryKeyPath{root, {}, false}, path, access, true);
}

LONG CRegistryKey::CloseKey() {
    m_open = false;
    m_path = RegistryKeyPath{};
    m_access = 0;
    if (!m_storeGiven) m_store.reset();
    return ERROR_SUCCESS;
}

LONG CRegistryKey::Check(DWORD right) const {
    if (!m_open) return ERROR_INVALID_HANDLE;
    return (m_access & right) == right ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG CRegistryKey::QueryValue(const char* valueName, DWORD* type, std::uint8_t* data, DWORD* size) {
    if (const LONG code = Check(KEY_QUERY_VALUE); code != ERROR_SUCCESS) return code;
    if (data && !size) return ERROR_INVALID_PARAMETER;
    DWORD storedType = REG_NONE;
    std::vector<std::uint8_t> stored;
    if (const LONG code = m_store->QueryValue(m_path, NameOf(valueName), storedType, stored); code != ERROR_SUCCESS)
        return code;
    std::string converted;
    if (IsStringType(storedType)) {
        std::u16string text(stored.size() / 2, u'\0');
        for (size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char16_t>(stored[2 * i] | (stored[2 * i + 1] << 8));
        converted = Utf16ToUtf8(text);
    } else {
        converted.assign(stored.begin(), stored.end());
    }
    if (type) *type = storedType;
    const DWORD needed = static_cast<DWORD>(converted.size());
    if (data) {
        if (*size < needed) {
            *size = needed;
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, converted.data(), needed);
    }
    if (size) *size = needed;
    return ERROR_SUCCESS;
}

LONG CRegistryKey::SetValue(const char* valueName, DWORD type, const std::uint8_t* data, DWORD size) {
    if (const LONG code = Check(KEY_SET_VALUE); code != ERROR_SUCCESS) return code;
    if (!data && size > 0) return ERROR_INVALID_PARAMETER;
    std::vector<std::uint8_t> bytes;
    if (IsStringType(type)) {
        const std::u16string text = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
        for (char16_t c : text) {
            bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(c >> 8));
        }
    } else if (size > 0) {
        bytes.assign(data, data + size);
    }
    return m_store->SetValue(m_path, NameOf(valueName), type, bytes);
}

LONG CRegistryKey::ReadString(const char* valueName, std::string& text, DWORD capacity, DWORD* length) {
    if (length) *length = 0;
    std::vector<std::uint8_t> buffer(capacity > 0 ? capacity : 1);
    DWORD type = REG_NONE;
    DWORD size = capacity;
    if (const LONG code = QueryValue(valueName, &type, buffer.data(), &size); code != ERROR_SUCCESS) return code;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
    if (size > 0 && buffer[size - 1] != 0) return ERROR_INVALID_DATA;
    text.assign(reinterpret_cast<const char*>(buffer.data()), size > 0 ? ::strnlen(reinterpret_cast<const char*>(buffer.data()), size) : 0);
    if (length) *length = size;
    return ERROR_SUCCESS;
}

LONG CRegistryKey::ReadDword(const char* valueName, DWORD& value) {
    std::vector<std::uint8_t> buffer = LittleEndian(value);
    DWORD size = 4;
    const LONG code = QueryValue(valueName, nullptr, buffer.data(), &size);
    if (code == ERROR_SUCCESS)
        value = buffer[0] | (buffer[1] << 8) | (buffer[2] << 16) | (static_cast<DWORD>(buffer[3]) << 24);
    return code;
}

LONG CRegistryKey::ValueExists(const char* valueName) { return QueryValue(valueName, nullptr, nullptr, nullptr); }

LONG CRegistryKey::WriteString(const char* valueName, const char* text) {
    if (!text) return m_open ? ERROR_INVALID_DATA : ERROR_INVALID_HANDLE;
    return SetValue(valueName, REG_SZ, reinterpret_cast<const std::uint8_t*>(text),
                    static_cast<DWORD>(std::strlen(text) + 1));
}

LONG CRegistryKey::WriteDword(const char* valueName, DWORD value) {
    const std::vector<std::uint8_t> bytes = LittleEndian(value);
    return SetValue(valueName, REG_DWORD, bytes.data(), 4);
}

LONG CRegistryKey::WriteBinary(const char* valueName, DWORD value) {
    const std::vector<std::uint8_t> bytes = LittleEndian(value);
    return SetValue(valueName, REG_BINARY, bytes.data(), 4);
}

LONG CRegistryKey::DeleteValue(const char* valueName) {
    if (const LONG code = Check(KEY_SET_VALUE); code != ERROR_SUCCESS) return code;
    return m_store->DeleteValue(m_path, NameOf(valueName));
}

LONG CRegistryKey::HandOut(LONG code, const std::u16string& wide, std::string& name, DWORD& capacity) {
    if (code != ERROR_SUCCESS) return code;
    const std::string narrow = Utf16ToUtf8(wide);
    if (narrow.size() >= capacity) return ERROR_MORE_DATA;
    name = narrow;
    capacity = static_cast<DWORD>(narrow.size());
    return ERROR_SUCCESS;
}

LONG CRegistryKey::SubKeyName(DWORD index, std::string& name, DWORD& capacity) {
    if (const LONG code = Check(KEY_ENUMERATE_SUB_KEYS); code != ERROR_SUCCESS) return code;
    std::u16string wide;
    return HandOut(m_store->EnumSubKey(m_path, index, wide), wide, name, capacity);
}

LONG CRegistryKey::ValueName(DWORD index, std::string& name, DWORD& capacity) {
    if (const LONG code = Check(KEY_QUERY_VALUE); code != ERROR_SUCCESS) return code;
    std::u16string wide;
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    return HandOut(m_store->EnumValue(m_path, index, wide, type, data), wide, name, capacity);
}

}  // namespace mailwright
