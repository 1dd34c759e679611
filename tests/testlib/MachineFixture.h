#pragma once
#include <memory>
#include <string>

#include "registry/RegistryStore.h"
#include "testlib/TempFolder.h"

namespace mailwright::testing {

// What a machine has registered of the mail clients, for the detection's fixtures.
struct MailMachine {
    enum class LiveMail {
        None,        // not installed
        Missing,     // registered with the installer, its program file gone
        Installed,   // installed, never opened
        Opened,      // installed and opened: it has a store
        StoreOnly,   // a store left behind, nothing installed
    };
    const char* outlookCurVer = nullptr;  // the CurVer class value, e.g. "Outlook.Application.11"
    bool officeKey = true;                // HKLM\Software\Microsoft\Office, with outlookCurVer
    bool windowsMailUsed = false;
    LiveMail liveMail = LiveMail::None;
    const char* defaultMail = nullptr;  // HKLM\SOFTWARE\Clients\Mail's default value
};

// Writes the machine into the store the way the clients' installers and first runs do:
// a 32-bit program's keys in its own view, the installer's data in the 64-bit view.
// Program files go into `files`.
void WriteMailMachine(const MailMachine& machine, const std::shared_ptr<RegistryStore>& store,
                      const TempFolder& files);

// The component code of Windows Live Mail and a product that installs it.
inline constexpr char kLiveMailComponentCode[] = "{73B656BB-3F5A-4CA3-86E7-BAE4277E7B80}";
inline constexpr char kLiveMailProductCode[] = "{D7E0A1F2-3B4C-4D5E-8F90-A1B2C3D4E5F6}";

// Registers the component for the product under the user's (or the machine's) installer data.
void RegisterComponent(const std::shared_ptr<RegistryStore>& store, const char* componentCode,
                       const char* productCode, const std::string& keyPath,
                       const char* sid = "S-1-5-21-0-0-0-1000");

}  // namespace mailwright::testing
