#include "writers/CIdentityRegWriter.h"

#include "registry/CRegistryKey.h"
#include "registry/CRegistryTransaction.h"
#include "support/StringTable.h"
#include "support/TextUtil.h"
#include "support/VeskException.h"

namespace mailwright {
namespace {

constexpr char kSource[] = "IdentityRegWriter";
constexpr DWORD kReadWrite = KEY_READ | KEY_WRITE;
constexpr char kNullIdentity[] = "{00000000-0000-0000-0000-000000000000}";
constexpr char kGlobalAccountManager[] = "Software\\Microsoft\\Internet Account Manager";
constexpr char kCounter[] = "Account Name";

std::string Function(const char* step) { return std::string("CIdentityRegWriter::") + step; }

std::string WithStep(unsigned textId, int step) { return LoadString(textId) + Format(" (%d)", step); }

[[noreturn]] void ThrowCode(LONG code, unsigned textId, int step, const char* function, int line) {
    throw Error::VeskExceptionCommon(static_cast<std::uint32_t>(code), WithStep(textId, step), kSource,
                                     Function(function), line);
}

[[noreturn]] void ThrowText(std::string text, const char* function, int line) {
    throw Error::VeskExceptionText(std::move(text), kSource, Function(function), line);
}

// The next account number. Only four bytes of a non-string value make a number; anything
// else that is there is no counter this program can go on from.
LONG ReadCounter(CRegistryKey& manager, DWORD& number) {
    DWORD type = REG_NONE;
    std::uint8_t bytes[4] = {};
    DWORD size = sizeof bytes;
    if (const LONG code = manager.QueryValue(kCounter, &type, bytes, &size); code != ERROR_SUCCESS) return code;
    if (size != 4 || type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) return ERROR_INVALID_DATA;
    number = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<DWORD>(bytes[3]) << 24);
    return ERROR_SUCCESS;
}

// One value of an account key, with the step and line its failure reports.
struct AccountValue {
    const char* name;
    bool isText;
    std::string text;
    DWORD number;
    int line;
};

// One value of the settings, below the settings root.
struct SettingsValue {
    const char* subKey;
    const char* name;
    DWORD number;
    int step;
    int line;  // of the key's creation; the value's write reports the next line
};

constexpr SettingsValue kSettings[] = {
    {"", "Reply To Messages In Original Format", 0, 4, 237},
    {"", "Use US Reply Headers", 1, 12, 242},
    {"\\Mail", "Default_CodePage", 28592, 13, 247},
    {"\\News", "Message Plain Format MIME", 1, 6, 255},
    {"\\News", "Message Send HTML", 0, 7, 262},
    {"\\News", "Message Plain Encoding Format", 4, 8, 269},
    {"\\News", "Message Plain Allow 8bit in Header", 0, 9, 275},
    {"\\News", "Message Plain Character Line Wrap", 76, 10, 280},
    {"\\News", "Indent Char", '>', 11, 285},
};

}  // namespace

void CIdentityRegWriter::GetOEStartIdentity() {
    static const char* const kCandidates[] = {"Start As", "Last User ID", "Default User ID"};
    CRegistryKey identities;
    if (const LONG code = identities.OpenKey(HKEY_CURRENT_USER, "Identities", kReadWrite); code != ERROR_SUCCESS)
        ThrowCode(code, IDS_ERR_ACCOUNT_IDENTITY, 0, "GetOEStartIdentity", 37);
    bool found = false;
    for (const char* candidate : kCandidates) {
        std::string id;
        if (identities.ReadString(candidate, id, 256) == ERROR_SUCCESS && id != kNullIdentity) {
            m_identityId = id;
            found = true;
            break;
        }
    }
    if (!found) ThrowText(LoadString(IDS_ERR_NO_START_IDENTITY), "GetOEStartIdentity", 56);
    if (m_identityId.empty()) ThrowText(WithStep(IDS_ERR_ACCOUNT_IDENTITY, 2), "GetOEStartIdentity", 61);

    const std::string identityKey = "Identities\\" + m_identityId;
    CRegistryKey identity;
    if (const LONG code = identity.OpenKey(HKEY_CURRENT_USER, identityKey.c_str(), kReadWrite); code != ERROR_SUCCESS)
        ThrowCode(code, IDS_ERR_ACCOUNT_IDENTITY, 3, "GetOEStartIdentity", 64);
    DWORD ordinal = 0;
    const LONG read = identity.ReadDword("Identity Ordinal", ordinal);
    if (read == ERROR_FILE_NOT_FOUND) {
        ordinal = 1;
        if (const LONG code = identity.WriteDword("Identity Ordinal", 1); code != ERROR_SUCCESS)
            ThrowCode(code, IDS_ERR_ACCOUNT_IDENTITY, 4, "GetOEStartIdentity", 72);
    } else if (read != ERROR_SUCCESS) {
        ordinal = 0;
    }
    // Ordinal 1 is the main identity, whose accounts are the global ones.
    m_accountManagerKey = ordinal == 1 ? std::string(kGlobalAccountManager)
                                       : identityKey + "\\" + kGlobalAccountManager;
    m_settingsKey = identityKey + "\\Software\\Microsoft\\Outlook Express\\5.0";
}

void CIdentityRegWriter::SetNewAccountKeyName() {
    CRegistryKey manager;
    if (const LONG code = manager.CreateKey(HKEY_CURRENT_USER, m_accountManagerKey.c_str(), kReadWrite);
        code != ERROR_SUCCESS)
        ThrowCode(code, IDS_ERR_SETTINGS_FOLDER, 0, "SetNewAccountKeyName", 97);
    DWORD number = 0;
    const LONG read = ReadCounter(manager, number);
    if (read == ERROR_FILE_NOT_FOUND) {
        number = 1;
        if (const LONG code = manager.WriteDword(kCounter, 1); code != ERROR_SUCCESS)
            ThrowCode(code, IDS_ERR_ACCOUNT_ID, 1, "SetNewAccountKeyName", 107);
    } else if (read != ERROR_SUCCESS) {
        ThrowCode(read, IDS_ERR_ACCOUNT_ID, 1, "SetNewAccountKeyName", 107);
    }
    m_accountKeyName = Format("%.8x", number);
    if (const LONG code = manager.WriteString("Default Mail Account", m_accountKeyName.c_str()); code != ERROR_SUCCESS)
        ThrowCode(code, IDS_ERR_ACCOUNT_ID, 2, "SetNewAccountKeyName", 112);
    // A counter left behind would give the next account this one's key.
    if (const LONG code = manager.WriteDword(kCounter, number + 1); code != ERROR_SUCCESS)
        ThrowCode(code, IDS_ERR_ACCOUNT_ID, 3, "SetNewAccountKeyName", 114);
}

void CIdentityRegWriter::WriteAccountKeys() {
    if (!m_account) ThrowText(WithStep(IDS_ERR_ACCOUNT_DATA, 1), "WriteAccountKeys", 122);
    const std::string path = m_accountManagerKey + "\\Accounts\\" + m_accountKeyName;
    CRegistryKey key;
    if (const LONG code = key.CreateKey(HKEY_CURRENT_USER, path.c_str(), kReadWrite); code != ERROR_SUCCESS)
        ThrowCode(code, IDS_ERR_SETTINGS_FOLDER, 1, "WriteAccountKeys", 126);

    const CAccount& account = *m_account;
    const CProvider& provider = *account.GetProvider();
    const std::string address = account.GetEmailAddress();
    const AccountValue values[] = {
        {"Account Name", true, address, 0, 129},
        {"SMTP Display Name", true, account.GetDisplayName(), 0, 132},
        {"SMTP Email Address", true, address, 0, 135},
        {"SMTP Use Sicily", false, {}, provider.m_smtpAuth != 0 ? 2u : 0u, 138},
        {"POP3 Server", true, account.GetPop3Server(), 0, 141},
        {"POP3 User Name", true, account.GetPop3UserName(), 0, 161},
        {"SMTP Server", true, account.GetSmtpServer(), 0, 164},
        // An account without its ports and security would be reported written but not work.
        {"Connection Type", false, {}, 0, 166},
        {"POP3 Prompt for Password", false, {}, 0, 168},
        {"POP3 Secure Connection", false, {}, static_cast<DWORD>(provider.m_pop3Ssl), 170},
        {"SMTP Secure Connection", false, {}, static_cast<DWORD>(provider.m_smtpSsl), 172},
        {"SMTP Port", false, {}, static_cast<DWORD>(provider.m_smtpPort), 174},
        {"POP3 Port", false, {}, static_cast<DWORD>(provider.m_pop3Port), 176},
    };
    int step = 0;
    for (const AccountValue& value : values) {
        ++step;
        const LONG code = value.isText ? key.WriteString(value.name, value.text.c_str())
                                       : key.WriteDword(value.name, value.number);
        if (code != ERROR_SUCCESS) ThrowCode(code, IDS_ERR_CONFIGURING_ACCOUNT, step, "WriteAccountKeys", value.line);
    }
    key.CloseKey();
}

void CIdentityRegWriter::SetAccountRegistry(CRefCountPtr<CAccount> account) {
    if (!account) ThrowText(WithStep(IDS_ERR_ACCOUNT_DATA, 2), "SetAccountRegistry", 192);
    m_account = std::move(account);
    // The account is written whole or not at all, under a number that no other writer takes.
    CRegistryTransaction transaction;
    GetOEStartIdentity();
    SetNewAccountKeyName();
    WriteAccountKeys();
    if (const LONG code = transaction.Commit(); code != ERROR_SUCCESS)
        ThrowCode(code, IDS_ERR_CONFIGURING_ACCOUNT, 14, "SetAccountRegistry", 196);
    m_accountWritten = true;
}

void CIdentityRegWriter::SetCodePageSettings() {
    switch (m_client) {
        case 0:
            GetOEStartIdentity();
            break;
        case 1:
            m_settingsKey = "Software\\Microsoft\\Windows Mail";
            break;
        case 2:
            m_settingsKey = "Software\\Microsoft\\Windows Live Mail";
            break;
        default:
            break;
    }
    const std::string international = m_settingsKey + "\\Trident\\International";
    CRegistryKey key;
    if (const LONG code = key.CreateKey(HKEY_CURRENT_USER, international.c_str(), kReadWrite); code != ERROR_SUCCESS)
        ThrowCode(code, IDS_ERR_SETTINGS_FOLDER, 2, "SetCodePageSettings", 210);
    if (const LONG code = key.WriteBinary("Default_CodePage", 1250); code != ERROR_SUCCESS)
        ThrowCode(code, IDS_ERR_CONFIGURING, 1, "SetCodePageSettings", 211);
    const std::string codePage = international + "\\1250";
    if (const LONG code = key.CreateKey(HKEY_CURRENT_USER, codePage.c_str(), kReadWrite); code != ERROR_SUCCESS)
        ThrowCode(code, IDS_ERR_SETTINGS_FOLDER, 3, "SetCodePageSettings", 216);
    if (const LONG code = key.WriteBinary("Default_InternetEncoding", 28592); code != ERROR_SUCCESS)
        ThrowCode(code, IDS_ERR_CONFIGURING, 2, "SetCodePageSettings", 220);
}

void CIdentityRegWriter::WriteSettingsKeys() {
    CRegistryTransaction transaction;
    SetCodePageSettings();
    for (const SettingsValue& value : kSettings) {
        const std::string path = m_settingsKey + value.subKey;
        CRegistryKey key;
        if (const LONG code = key.CreateKey(HKEY_CURRENT_USER, path.c_str(), kReadWrite); code != ERROR_SUCCESS)
            ThrowCode(code, IDS_ERR_SETTINGS_FOLDER, value.step, "WriteSettingsKeys", value.line);
        // Settings reported as made must have been made.
        if (const LONG code = key.WriteDword(value.name, value.number); code != ERROR_SUCCESS)
            ThrowCode(code, IDS_ERR_CONFIGURING, value.step, "WriteSettingsKeys", value.line + 1);
    }
    if (const LONG code = transaction.Commit(); code != ERROR_SUCCESS)
        ThrowCode(code, IDS_ERR_CONFIGURING, 14, "WriteSettingsKeys", 288);
}

}  // namespace mailwright
