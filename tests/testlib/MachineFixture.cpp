#include "testlib/MachineFixture.h"

#include <gtest/gtest.h>

#include "platform/WindowsInstaller.h"
#include "registry/CRegistryKey.h"

namespace mailwright::testing {
namespace {

void WriteValue(const std::shared_ptr<RegistryStore>& store, HKEY root, const std::string& path, const char* name,
                const std::string& text, DWORD access = KEY_READ | KEY_WRITE, DWORD type = REG_SZ) {
    CRegistryKey key(store);
    ASSERT_EQ(ERROR_SUCCESS, key.CreateKey(root, path.c_str(), access)) << path;
    ASSERT_EQ(ERROR_SUCCESS, key.SetValue(name, type, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                          static_cast<DWORD>(text.size() + 1)))
        << path;
}

void WriteStoreRoot(const std::shared_ptr<RegistryStore>& store, const char* clientKey, const char* folder) {
    WriteValue(store, HKEY_CURRENT_USER, clientKey, "Store Root", folder, KEY_READ | KEY_WRITE, REG_EXPAND_SZ);
}

}  // namespace

void RegisterComponent(const std::shared_ptr<RegistryStore>& store, const char* componentCode,
                       const char* productCode, const std::string& keyPath, const char* sid) {
    const std::string key = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\") + sid +
                            "\\Components\\" + PackGuid(componentCode);
    WriteValue(store, HKEY_LOCAL_MACHINE, key, PackGuid(productCode).c_str(), keyPath,
               KEY_READ | KEY_WRITE | KEY_WOW64_64KEY);
}

void WriteMailMachine(const MailMachine& machine, const std::shared_ptr<RegistryStore>& store,
                      const TempFolder& files) {
    if (machine.outlookCurVer) {
        if (machine.officeKey) WriteValue(store, HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Office\\Common", "", "");
        WriteValue(store, HKEY_CLASSES_ROOT, "Outlook.Application\\CurVer", nullptr, machine.outlookCurVer);
    }
    if (machine.windowsMailUsed)
        WriteStoreRoot(store, "Software\\Microsoft\\Windows Mail", "%LOCALAPPDATA%\\Microsoft\\Windows Mail");
    using LiveMail = MailMachine::LiveMail;
    const bool installed = machine.liveMail == LiveMail::Installed || machine.liveMail == LiveMail::Opened;
    if (installed) files.WriteFile("Windows Live/Mail/wlmail.exe", "MZ");
    if (installed || machine.liveMail == LiveMail::Missing)
        RegisterComponent(store, kLiveMailComponentCode, kLiveMailProductCode,
                          ZPath(files.Sub("Windows Live/Mail/wlmail.exe")));
    if (machine.liveMail == LiveMail::Opened || machine.liveMail == LiveMail::StoreOnly)
        WriteStoreRoot(store, "Software\\Microsoft\\Windows Live Mail", "%LOCALAPPDATA%\\Microsoft\\Windows Live Mail");
    if (machine.defaultMail) WriteValue(store, HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail", nullptr, machine.defaultMail);
}

}  // namespace mailwright::testing
