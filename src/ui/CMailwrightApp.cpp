#include "ui/CMailwrightApp.h"

#include "providers/CProviderDatabase.h"
#include "ui/CDlgMailwright.h"
#include "ui/VeskWidgets.h"

namespace mailwright {

bool CMailwrightApp::InitInstance() {
    CProviderDatabase::EnsureDatabaseFile();
    CDlgMailwright dialog;
    RunModal(dialog);
    return false;
}

}  // namespace mailwright
