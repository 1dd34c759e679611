#include "writers/CXMLAccountCreator.h"

#include <stdexcept>

#include "registry/CRegistryKey.h"
#include "support/AnsiCodePage.h"
#include "support/StringTable.h"
#include "support/TextUtil.h"
#include "support/VeskException.h"
#include "support/VeskFileWrite.h"
#include "support/WindowsSession.h"

namespace mailwright {
namespace {

constexpr const char* kSource = "XMLAccountCreator";
// What a DOM step that could not allocate reports.
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr DWORD kStoreRootCapacity = 4096;

// pugixml would write a character that XML 1.0 forbids as a character reference, which
// no XML parser accepts: such characters become U+FFFD.
std::string XmlText(const std::string& text) {
    std::u16string wide = Utf8ToUtf16(text);
    for (char16_t& c : wide) {
        const bool allowed = c >= 0x20 ? c < 0xFFFE : (c == u'\t' || c == u'\n' || c == u'\r');
        if (!allowed) c = 0xFFFD;
    }
    return Utf16ToUtf8(wide);
}

// A 32-bit value as eight lower-case hexadecimal digits, negative values in two's complement.
std::string Hex8(std::int32_t value) { return Format("%08x", static_cast<std::uint32_t>(value)); }

// Collects what pugixml saves.
class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override { bytes.append(static_cast<const char*>(data), size); }
    std::string bytes;
};

// Expands the variable at the start of a store root: the text up to the first "%" after
// the first character goes through the session's environment, the rest stays as written.
std::string ExpandLeadingVariable(const std::string& text) {
    if (text.size() <= 1) return text;
    const size_t percent = text.find('%', 1);
    if (percent == std::string::npos) return text;
    return WindowsSession::Current()->ExpandEnvironmentStrings(text.substr(0, percent + 1)) + text.substr(percent + 1);
}

}  // namespace

void CXMLAccountCreator::CreateAccountFromProviderSettings(CRefCountPtr<CAccount> account) {
    GenerateXMLDoc();
    if (!account) {
        throw Error::VeskExceptionText(LoadString(IDS_ERR_ACCOUNT_DATA) + " (2)", kSource,
                                       "CXMLAccountCreator::CreateAccountFromProviderSettings", 65);
    }
    m_account = account;
    const CProvider& provider = *m_account->GetProvider();
    const std::string email = m_account->GetEmailAddress();
    const std::string none = "00000000";
    const std::string timeout = "0000003c";
    const struct {
        const char* name;
        const char* type;
        std::string text;
    } elements[] = {
        {"Account_Name", "SZ", email},
        {"Connection_Type", "DWORD", none},
        {"POP3_Server", "SZ", provider.m_pop3Server},
        {"POP3_User_Name", "SZ", m_account->GetPop3UserName()},
        {"POP3_Password2", "BINARY", ""},
        {"POP3_Port", "DWORD", Hex8(provider.m_pop3Port)},
        {"POP3_Secure_Connection", "DWORD", Hex8(provider.m_pop3Ssl)},
        {"POP3_Timeout", "DWORD", timeout},
        {"Leave_Mail_On_Server", "DWORD", none},
        {"POP3_Skip_Account", "DWORD", none},
        {"POP3_Prompt_for_Password", "DWORD", none},
        {"SMTP_Server", "SZ", provider.m_smtpServer},
        {"SMTP_Use_Sicily", "DWORD", provider.m_smtpAuth != 0 ? "00000002" : none},
        {"SMTP_Port", "DWORD", Hex8(provider.m_smtpPort)},
        {"SMTP_Secure_Connection", "DWORD", Hex8(provider.m_smtpSsl)},
        {"SMTP_Timeout", "DWORD", timeout},
        {"SMTP_Display_Name", "SZ", m_account->GetDisplayName()},
        {"SMTP_Email_Address", "SZ", email},
        {"SMTP_Split_Messages", "DWORD", none},
    };
    for (const auto& element : elements) AddNodeIntoDoc(element.name, element.text, element.type, "type");
}

// pugixml builds and appends a node in one step, so a node is always appended as itself;
// a step fails only when pugixml cannot allocate.
void CXMLAccountCreator::GenerateXMLDoc() {
    m_root = pugi::xml_node();
    m_document = std::make_unique<pugi::xml_document>();
    pugi::xml_node declaration = m_document->append_child(pugi::node_declaration);
    if (!declaration || !declaration.set_name("xml") || !declaration.append_attribute("version").set_value("1.0") ||
        !declaration.append_attribute("encoding").set_value("utf-16"))
        throw Error::VeskExceptionText(IDS_ERR_ACCOUNT_XML, kSource, "CXMLAccountCreator::GenerateXMLDoc", 128);
    pugi::xml_node root = m_document->append_child(pugi::node_element);
    if (!root || !root.set_name("MessageAccount"))
        throw Error::VeskExceptionText(IDS_ERR_ACCOUNT_XML, kSource, "CXMLAccountCreator::GenerateXMLDoc", 138);
    m_root = root;
}

void CXMLAccountCreator::AddNodeIntoDoc(const std::string& name, const std::string& text,
                                        const std::string& typeValue, const std::string& attributeName) {
    pugi::xml_node element = m_root.append_child(pugi::node_element);
    if (!element || !element.set_name(XmlText(name).c_str()))
        throw Error::VeskExceptionText(IDS_ERR_ACCOUNT_XML, kSource, "CXMLAccountCreator::AddNodeIntoDoc", 32);
    pugi::xml_attribute attribute = element.append_attribute("");
    if (!attribute || !attribute.set_name(XmlText(attributeName).c_str()))
        throw Error::VeskExceptionText(IDS_ERR_ACCOUNT_XML, kSource, "CXMLAccountCreator::AddNodeIntoDoc", 39);
    if (!attribute.set_value(XmlText(typeValue).c_str())) {
        m_lastResult = E_OUTOFMEMORY;
        throw Error::VeskExceptionCommon(m_lastResult, IDS_ERR_ACCOUNT_XML, kSource,
                                         "CXMLAccountCreator::AddNodeIntoDoc", 42);
    }
    // An empty text leaves the element without content, as the DOM does.
    if (!text.empty() && !element.text().set(XmlText(text).c_str())) {
        m_lastResult = E_OUTOFMEMORY;
        throw Error::VeskExceptionCommon(m_lastResult, IDS_ERR_ACCOUNT_XML, kSource,
                                         "CXMLAccountCreator::AddNodeIntoDoc", 51);
    }
}

std::string CXMLAccountCreator::GetStoreRoot(bool liveMail) {
    CRegistryKey key;
    const std::string path = LoadString(liveMail ? IDS_KEY_LIVE_MAIL : IDS_KEY_WINDOWS_MAIL);
    if (const LONG code = key.OpenKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ); code != ERROR_SUCCESS)
        throw Error::VeskExceptionCommon(static_cast<std::uint32_t>(code), IDS_ERR_STORE_ROOT_KEY);
    std::string storeRoot;
    LONG code = key.ReadString("Store Root", storeRoot, kStoreRootCapacity);
    // An empty root names no folder: the file would land in the current folder, where no client looks.
    if (code == ERROR_SUCCESS && storeRoot.empty()) code = ERROR_FILE_NOT_FOUND;
    if (code != ERROR_SUCCESS) throw Error::VeskExceptionCommon(static_cast<std::uint32_t>(code), IDS_ERR_STORE_ROOT_PATH);
    key.CloseKey();
    return ExpandLeadingVariable(storeRoot);
}

std::string CXMLAccountCreator::SaveToMemory() const {
    StringWriter writer;
    if (m_document)
        m_document->save(writer, "", pugi::format_raw | pugi::format_write_bom, pugi::encoding_utf16_le);
    return writer.bytes;
}

void CXMLAccountCreator::SaveDocument(const std::string& fileName, bool liveMail) {
    if (!m_document) throw std::logic_error("no account document to save");
    std::string path = GetStoreRoot(liveMail);
    // The file belongs inside the store folder, also when the root lacks its final backslash.
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
    path += fileName;
    const std::string bytes = SaveToMemory();
    VeskFileWrite file(path, FILE_SHARE_READ);
    if (!file.IsOpen() || !file.Write(bytes.data(), bytes.size()) || !file.Close())
        throw std::runtime_error("cannot write the account file " + path);
}

}  // namespace mailwright
