#include "writers/CPRFFile.h"

#include <optional>
#include <stdexcept>

#include "registry/CRegistryKey.h"
#include "support/AnsiCodePage.h"
#include "support/EmbeddedResource.h"
#include "support/LastError.h"
#include "support/StringTable.h"
#include "support/VeskException.h"
#include "support/VeskFileRead.h"
#include "support/VeskFileWrite.h"
#include "support/VeskFsPathT.h"

namespace mailwright {
namespace {

constexpr char kTemplateFile[] = "template.prf";
constexpr char kAccountFile[] = "Account.prf";
constexpr char kCodePageKey[] = "System\\CurrentControlSet\\Control\\Nls\\CodePage";
constexpr unsigned kWesternCodePage = 1252;

std::string AppFile(const char* name) { return GetApplicationFolder().Combine(name).Str(); }

Error::VeskExceptionText OutlookError(unsigned detail) {
    return Error::VeskExceptionText(LoadString(IDS_ERR_OUTLOOK_ACCOUNT) + "\n" + LoadString(detail));
}

// A value is one line of the profile: its line breaks would start lines of their own.
std::string OneLine(std::string value) {
    std::string result;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') continue;
        result += (value[i] == '\r' || value[i] == '\n') ? ' ' : value[i];
    }
    return result;
}

const char* Flag(std::int32_t value, const char* set) { return value != 0 ? set : "0"; }

// A code page number that iconv converts to; nothing for any other text.
std::optional<unsigned> UsableCodePage(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    const unsigned codePage = static_cast<unsigned>(std::stoul(text));
    if (!Utf8ToCodePage("", codePage)) return std::nullopt;
    return codePage;
}

}  // namespace

CPRFFile::CPRFFile(CRefCountPtr<CAccount> account, std::string profileName)
    : m_profileName(std::move(profileName)), m_account(std::move(account)) {
    if (!m_account) throw Error::VeskExceptionText(IDS_ERR_ACCOUNT_DATA, "PRFFile", "CPRFFile::CPRFFile", 8);
}

void CPRFFile::WriteProfileFile() {
    ExtractTemplate();
    if (!m_templateExtracted) throw OutlookError(IDS_ERR_EXTRACT_TEMPLATE);
    FillTemplate();
}

void CPRFFile::ExtractTemplate() {
    m_templateExtracted = false;
    const auto bytes = FindEmbeddedResource("TXT", IDR_PRF_TEMPLATE);
    if (!bytes || bytes->empty()) return;
    VeskFileWrite file(AppFile(kTemplateFile), FILE_SHARE_READ);
    const bool written = file.Write(bytes->data(), bytes->size());
    m_templateExtracted = file.Close() && written;
}

void CPRFFile::FillTemplate() {
    const CProvider& provider = *m_account->GetProvider();
    const std::string userName = m_account->GetPop3UserName();
    ReadTemplate();
    const std::pair<const char*, std::string> values[] = {
        {"{prof_name}", m_profileName},
        {"{def_prof}", "No"},
        {"{overwrite_prof}", "Append"},
        {"{modif_def_prof_pres}", "FALSE"},
        {"{unique_serv}", "No"},
        {"{account_name}", m_account->GetEmailAddress()},
        {"{pop3_serv}", m_account->GetPop3Server()},
        {"{smtp_serv}", m_account->GetSmtpServer()},
        {"{pop3_name}", userName},
        {"{email_addr}", m_account->GetEmailAddress()},
        {"{use_spa}", "0"},
        {"{disp_name}", m_account->GetDisplayName()},
        {"{reply_email}", ""},
        {"{smtp_auth}", Flag(provider.m_smtpAuth, "2")},
        {"{smtp_auth_method}", "0"},
        {"{connection_type}", "0"},
        {"{leave_on_serv}", "0x0"},
        {"{connection_oid}", "FALSE"},
        {"{pop3_port}", std::to_string(provider.m_pop3Port)},
        {"{pop3_ssl}", Flag(provider.m_pop3Ssl, "1")},
        {"{time_out}", "60"},
        {"{smtp_port}", std::to_string(provider.m_smtpPort)},
        {"{smtp_ssl}", Flag(provider.m_smtpSsl, "1")},
    };
    for (const auto& [placeholder, value] : values) ReplacePlaceholder(placeholder, OneLine(value));
    WriteAccountFile();
}

void CPRFFile::ReadTemplate() {
    VeskFileRead file(AppFile(kTemplateFile));
    if (!file.IsOpen()) throw OutlookError(IDS_ERR_SETTINGS_FILE_PATH);
    char buffer[4096];
    for (;;) {
        const long got = file.Read(buffer, sizeof(buffer));
        if (got < 0) throw std::runtime_error("cannot read template.prf");
        if (got == 0) break;
        m_text.append(buffer, static_cast<size_t>(got));
    }
}

void CPRFFile::ReplacePlaceholder(const std::string& placeholder, const std::string& value) {
    if (placeholder.empty()) return;
    std::string result;
    size_t from = 0;
    for (size_t at = m_text.find(placeholder); at != std::string::npos; at = m_text.find(placeholder, from)) {
        result.append(m_text, from, at - from);
        result += value;
        from = at + placeholder.size();
    }
    result.append(m_text, from, std::string::npos);
    m_text = std::move(result);
}

unsigned CPRFFile::GetCodePage() {
    CRegistryKey key;
    std::string acp;
    if (key.OpenKey(HKEY_LOCAL_MACHINE, kCodePageKey, KEY_READ) == ERROR_SUCCESS &&
        key.ReadString("ACP", acp, 16) == ERROR_SUCCESS) {
        if (const std::optional<unsigned> codePage = UsableCodePage(acp)) return *codePage;
    }
    if (const unsigned codePage = AnsiCodePageOfEnvironment(); UsableCodePage(std::to_string(codePage)))
        return codePage;
    return kWesternCodePage;
}

void CPRFFile::WriteAccountFile() {
    const unsigned codePage = GetCodePage();
    const std::optional<std::string> bytes = Utf8ToCodePage(m_text, codePage);
    if (!bytes) throw std::runtime_error("no converter to code page " + std::to_string(codePage));
    VeskFileWrite file(AppFile(kAccountFile), FILE_SHARE_READ);
    if (!file.IsOpen()) throw OutlookError(IDS_ERR_SETTINGS_FILE_PATH);
    if (!file.Write(bytes->data(), bytes->size()) || !file.Close())
        throw std::runtime_error("cannot write Account.prf (error " + std::to_string(GetLastError()) + ")");
}

}  // namespace mailwright
