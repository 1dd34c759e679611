#include "ui/CMailwrightApp.h"

#include "providers/CProviderDatabase.h"
#include "ui/CDlgMailwright.h"

namespace mailwright {

bool CMailwrightApp::InitInstance() {
    CProviderDatabase::EnsureDatabaseFile();
    CDlgMailwright dialog;
    dialog.exec();
    return false;
}

}  // namespace mailwright
