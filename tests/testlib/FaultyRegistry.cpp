#include "testlib/FaultyRegistry.h"

#include <new>
#include <utility>

#include "support/AnsiCodePage.h"
#include "support/TextUtil.h"

namespace mailwright::testing {
namespace {

std::string PathText(const RegistryKeyPath& key) {
    std::string text;
    for (const std::u16string& component : key.components) {
        if (!text.empty()) text += '\\';
        text += Utf16ToUtf8(component);
    }
    return text;
}

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && EqualsNoCase(std::string_view(text).substr(text.size() - tail.size()), tail);
}

}  // namespace

FaultyRegistry::FaultyRegistry(std::shared_ptr<RegistryStore> inner) : m_inner(std::move(inner)) {}

void FaultyRegistry::FailKey(const std::string& pathTail, LONG code, int passes) {
    m_rules.push_back({pathTail, "", true, code, passes, false});
}

void FaultyRegistry::FailWrite(const std::string& valueName, LONG code, const std::string& pathTail, int passes) {
    m_rules.push_back({pathTail, valueName, false, code, passes, false});
}

void FaultyRegistry::ThrowOnWrite(const std::string& valueName) {
    m_rules.push_back({"", valueName, false, ERROR_SUCCESS, 0, true});
}

LONG FaultyRegistry::Failure(const RegistryKeyPath& key, const std::string* valueName) {
    const std::string path = PathText(key);
    for (Rule& rule : m_rules) {
        if (rule.isKey != (valueName == nullptr) || !EndsWithNoCase(path, rule.pathTail)) continue;
        if (valueName && !EqualsNoCase(*valueName, rule.valueName)) continue;
        if (rule.passes > 0) {
            --rule.passes;
            continue;
        }
        if (rule.throws) throw std::bad_alloc();
        return rule.code;
    }
    return ERROR_SUCCESS;
}

LONG FaultyRegistry::OpenKey(const RegistryKeyPath& key) {
    if (const LONG code = Failure(key, nullptr)) return code;
    return m_inner->OpenKey(key);
}

LONG FaultyRegistry::CreateKey(const RegistryKeyPath& key) {
    if (const LONG code = Failure(key, nullptr)) return code;
    return m_inner->CreateKey(key);
}

LONG FaultyRegistry::QueryValue(const RegistryKeyPath& key, std::u16string_view name, DWORD& type,
                                std::vector<std::uint8_t>& data) {
    return m_inner->QueryValue(key, name, type, data);
}

LONG FaultyRegistry::SetValue(const RegistryKeyPath& key, std::u16string_view name, DWORD type,
                              std::span<const std::uint8_t> data) {
    const std::string valueName = Utf16ToUtf8(std::u16string(name));
    if (const LONG code = Failure(key, &valueName)) return code;
    return m_inner->SetValue(key, name, type, data);
}

LONG FaultyRegistry::DeleteValue(const RegistryKeyPath& key, std::u16string_view name) {
    return m_inner->DeleteValue(key, name);
}

LONG FaultyRegistry::EnumSubKey(const RegistryKeyPath& key, DWORD index, std::u16string& name) {
    return m_inner->EnumSubKey(key, index, name);
}

LONG FaultyRegistry::EnumValue(const RegistryKeyPath& key, DWORD index, std::u16string& name, DWORD& type,
                               std::vector<std::uint8_t>& data) {
    return m_inner->EnumValue(key, index, name, type, data);
}

}  // namespace mailwright::testing
