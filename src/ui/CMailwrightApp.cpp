#include "ui/CMailwrightApp.h"

#include "providers/CProviderDatabase.h"
#include "support/VeskFsPathT.h"
#include "ui/CDlgMailwright.h"

namespace mailwright {

bool CMailwrightApp::InitInstance() {
    EnsureDatabase();
    CDlgMailwright dialog;
    dialog.exec();
    return false;
}

void CMailwrightApp::EnsureDatabase() {
    // The same path for the check and the write, also when the application folder
    // cannot be found (then the bare file name).
    if (!PathExists(CProviderDatabase::GetDatabasePath())) CProviderDatabase::ExtractDefaultDatabase();
}

}  // namespace mailwright
