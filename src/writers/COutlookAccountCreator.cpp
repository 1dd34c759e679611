#include "writers/COutlookAccountCreator.h"

#include "detection/CMailClientChecker.h"
#include "registry/CRegistryKey.h"
#include "registry/CRegistryTransaction.h"
#include "support/IUserInterface.h"
#include "support/StringTable.h"
#include "support/TextUtil.h"
#include "support/VeskException.h"
#include "support/WindowsSession.h"
#include "writers/CPRFFile.h"
#include "writers/DefaultProfile.h"

namespace mailwright {
namespace {

constexpr unsigned kBoxStyle = MB_OK | MB_ICONWARNING;
constexpr DWORD kProfileNameCapacity = 511;

// Text 192, a line break and the specific text: how Outlook failures read.
std::string OutlookErrorText(unsigned text) { return LoadString(IDS_ERR_OUTLOOK_ACCOUNT) + "\n" + LoadString(text); }

Error::VeskExceptionText OutlookError(unsigned text) { return Error::VeskExceptionText(OutlookErrorText(text)); }

// The program is for Windows XP and later (major version 5 and up).
bool IsWindowsSupported() {
    OsVersionInfo version;
    return WindowsSession::Current()->GetVersionEx(version) && version.majorVersion >= 5;
}

}  // namespace

COutlookAccountCreator::COutlookAccountCreator(CRefCountPtr<CAccount> account)
    : m_outlookVersion(CMailClientChecker::GetOutlookVersion()),
      m_account(std::move(account)),
      m_versionText(Format("%d", m_outlookVersion)) {}

void COutlookAccountCreator::CreateOutlookAccount() {
    m_created = false;
    try {
        if (m_outlookVersion < 10) {
            AppMessageBox(IDS_OUTLOOK_TOO_OLD, kBoxStyle);
            return;
        }
        if (!IsWindowsSupported()) {
            AppMessageBox(IDS_WINDOWS_TOO_OLD, kBoxStyle);
            return;
        }
        // The user is asked first and the prefix's lock taken after: no box or dialog may
        // keep other writers waiting.
        if (!CheckOutlookSetup()) return;
        EnumerateProfiles();
        if (!ChooseProfile()) return;
        std::string refusal;
        if (!WriteImport(refusal)) {
            AppMessageBox(refusal, kBoxStyle);
            return;
        }
        m_created = true;
    } catch (const Error::VeskException& e) {
        e.ReportError();
    } catch (...) {
        AppMessageBox(IDS_ERR_UNKNOWN_OUTLOOK, kBoxStyle);
    }
}

std::string COutlookAccountCreator::SetupKey() const {
    return LoadString(IDS_KEY_OFFICE_PREFIX) + m_versionText + LoadString(IDS_KEY_OUTLOOK_SETUP_SUFFIX);
}

bool COutlookAccountCreator::CheckOutlookSetup() {
    const std::string problem = SetupProblem();
    if (problem.empty()) return true;
    AppMessageBox(problem, kBoxStyle);
    return false;
}

std::string COutlookAccountCreator::SetupProblem() {
    CRegistryKey key;
    if (key.OpenKey(HKEY_CURRENT_USER, SetupKey().c_str(), KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        return LoadString(IDS_ERR_OUTLOOK_ACCOUNT) + LoadString(IDS_OUTLOOK_NOT_OPENED);
    if (!HasFirstRunValue()) return LoadString(IDS_IMPORT_PENDING);
    return {};
}

// What Outlook's keys say and the import registered for it form one whole. False, with the
// box text, when Outlook's Setup changed while the user chose (another writer registered
// its account meanwhile, which this one must not overwrite).
bool COutlookAccountCreator::WriteImport(std::string& refusal) {
    CRegistryTransaction transaction;
    if (const LONG code = transaction.Refusal(); code != ERROR_SUCCESS)
        throw Error::VeskExceptionCommon(static_cast<std::uint32_t>(code), OutlookErrorText(IDS_ERR_SET_VALUE));
    refusal = SetupProblem();
    if (!refusal.empty()) return false;
    CPRFFile profileFile(m_account, m_profileName);
    profileFile.WriteProfileFile();
    RegisterImport();
    if (const LONG code = transaction.Commit(); code != ERROR_SUCCESS)
        throw Error::VeskExceptionCommon(static_cast<std::uint32_t>(code), OutlookErrorText(IDS_ERR_SET_VALUE));
    return true;
}

// Outlook removes "First-Run" when it starts; without it an earlier account still
// waits to be imported. Only a value known to be absent counts as absent.
bool COutlookAccountCreator::HasFirstRunValue() {
    CRegistryKey key;
    if (key.OpenKey(HKEY_CURRENT_USER, SetupKey().c_str(), KEY_READ | KEY_WRITE) != ERROR_SUCCESS) return false;
    return key.ValueExists("First-Run") != ERROR_FILE_NOT_FOUND;
}

void COutlookAccountCreator::EnumerateProfiles() {
    CRegistryKey key;
    if (key.OpenKey(HKEY_CURRENT_USER, OutlookProfilesKey(m_outlookVersion).c_str(), KEY_READ) != ERROR_SUCCESS)
        throw OutlookError(IDS_OUTLOOK_NOT_OPENED);
    for (DWORD index = 0;; ++index) {
        std::string name;
        DWORD capacity = kProfileNameCapacity;
        if (key.SubKeyName(index, name, capacity) != ERROR_SUCCESS) break;
        m_profiles.push_back(name);
    }
    if (m_profiles.empty()) throw OutlookError(IDS_OUTLOOK_NOT_OPENED);
}

// With several profiles the user chooses; false when the choice is cancelled.
bool COutlookAccountCreator::ChooseProfile() {
    if (m_profiles.size() == 1) {
        m_profileName = m_profiles.front();
        return true;
    }
    std::optional<std::string> chosen = UserInterface().ChooseProfile(m_profiles, m_outlookVersion);
    if (!chosen) return false;
    m_profileName = *chosen;
    return true;
}

void COutlookAccountCreator::RegisterImport() {
    m_prfPath = GetApplicationFolder().Combine("Account.prf");
    CRegistryKey key;
    if (key.OpenKey(HKEY_CURRENT_USER, SetupKey().c_str(), KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        throw OutlookError(IDS_ERR_OPEN_KEY);
    if (const LONG code = key.DeleteValue("First-Run"); code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND)
        throw OutlookError(IDS_ERR_REMOVE_VALUE);
    if (key.WriteString("ImportPRF", m_prfPath.c_str()) != ERROR_SUCCESS) throw OutlookError(IDS_ERR_SET_VALUE);
}

}  // namespace mailwright
