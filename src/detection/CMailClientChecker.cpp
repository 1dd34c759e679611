#include "detection/CMailClientChecker.h"

#include <climits>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/WindowsInstaller.h"
#include "registry/CRegistryKey.h"
#include "support/IUserInterface.h"
#include "support/StringTable.h"
#include "support/WindowsSession.h"

namespace mailwright {
namespace {

constexpr DWORD kValueBuffer = 4096;
constexpr char kLiveMailComponent[] = "{73B656BB-3F5A-4CA3-86E7-BAE4277E7B80}";

std::unique_ptr<CMailClientChecker> g_instance;

// A detection step that fails keeps the zero it started from.
template <typename Step>
void Guarded(Step step) {
    try {
        step();
    } catch (...) {
    }
}

// The default value of a key, or nothing.
bool ReadDefaultValue(HKEY root, unsigned keyId, std::string& text) {
    CRegistryKey key;
    if (key.OpenKey(root, LoadString(keyId).c_str(), KEY_READ) != ERROR_SUCCESS) return false;
    return key.ReadString(nullptr, text, kValueBuffer) == ERROR_SUCCESS;
}

bool HasStoreRoot(unsigned keyId) {
    CRegistryKey key;
    if (key.OpenKey(HKEY_CURRENT_USER, LoadString(keyId).c_str(), KEY_READ) != ERROR_SUCCESS) return false;
    std::string storeRoot;
    return key.ReadString("Store Root", storeRoot, kValueBuffer) == ERROR_SUCCESS;
}

// atoi: leading blanks and a sign, digits up to the first other character, 0 without digits.
std::int32_t LeadingNumber(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

}  // namespace

CMailClientChecker& CMailClientChecker::GetInstance() {
    if (!g_instance) {
        g_instance.reset(new CMailClientChecker);
        g_instance->DetectOutlookVersion();
        g_instance->DetectSystemClient();
        g_instance->DetectDefaultClient();
    }
    return *g_instance;
}

void CMailClientChecker::ResetInstance() { g_instance.reset(); }

std::int32_t CMailClientChecker::GetOutlookVersion() {
    return g_instance ? g_instance->m_outlookVersion : ReadOutlookVersion();
}

void CMailClientChecker::DetectOutlookVersion() { m_outlookVersion = ReadOutlookVersion(); }

std::int32_t CMailClientChecker::ReadOutlookVersion() {
    std::int32_t version = 0;
    Guarded([&version] {
        CRegistryKey office;
        if (office.OpenKey(HKEY_LOCAL_MACHINE, LoadString(IDS_KEY_OFFICE).c_str(), KEY_READ) != ERROR_SUCCESS) return;
        std::string curVer;  // "Outlook.Application.16"
        if (!ReadDefaultValue(HKEY_CLASSES_ROOT, IDS_KEY_OUTLOOK_CURVER, curVer)) return;
        const size_t first = curVer.find('.');
        const size_t second = first == std::string::npos ? first : curVer.find('.', first + 1);
        if (second == std::string::npos) return;
        version = LeadingNumber(curVer.substr(second + 1));
    });
    return version;
}

void CMailClientChecker::DetectSystemClient() {
    Guarded([this] {
        OsVersionInfo version;
        if (!WindowsSession::Current()->GetVersionEx(version)) {
            m_systemClient = MailClientNone;
        } else if (version.majorVersion <= 5) {
            m_systemClient = MailClientOutlookExpress;
        } else if (IsLiveMailUsed()) {
            m_systemClient = MailClientWindowsLiveMail;
        } else if (version.minorVersion == 0 && IsWindowsMailUsed()) {
            m_systemClient = MailClientWindowsMail;
        } else {
            m_systemClient = MailClientNone;
        }
    });
}

void CMailClientChecker::DetectDefaultClient() {
    m_defaultClient = MailClientNone;
    Guarded([this] {
        static const struct {
            const char* name;
            MailClientKind client;
        } kNames[] = {
            {"Microsoft Outlook", MailClientOutlook},
            {"Windows Mail", MailClientWindowsMail},
            {"Windows Live Mail", MailClientWindowsLiveMail},
            {"Outlook Express", MailClientOutlookExpress},
        };
        std::string name;
        if (!ReadDefaultValue(HKEY_LOCAL_MACHINE, IDS_KEY_CLIENTS_MAIL, name)) return;
        for (const auto& known : kNames) {
            if (name == known.name) {
                m_defaultClient = known.client;
                return;
            }
        }
    });
}

bool CMailClientChecker::IsWindowsMailUsed() { return HasStoreRoot(IDS_KEY_WINDOWS_MAIL); }

bool CMailClientChecker::IsLiveMailUsed() {
    std::string path;
    DWORD capacity = 1023;  // of a 1024-byte buffer
    const int state = MsiLocateComponent(kLiveMailComponent, path, capacity);
    if (state != INSTALLSTATE_UNKNOWN && state != INSTALLSTATE_ABSENT && HasStoreRoot(IDS_KEY_LIVE_MAIL)) return true;
    AppMessageBox(IDS_LIVE_MAIL_NEVER_OPENED, MB_OK);
    return false;
}

}  // namespace mailwright
