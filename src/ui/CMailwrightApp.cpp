#include "ui/CMailwrightApp.h"

#include <utility>

#include "providers/CProviderDatabase.h"
#include "ui/CDlgMailwright.h"
#include "ui/VeskWidgets.h"

namespace mailwright {

CMailwrightApp::CMailwrightApp(std::string updateUrl) : m_updateUrl(std::move(updateUrl)) {}

bool CMailwrightApp::InitInstance() {
    CProviderDatabase::EnsureDatabaseFile();
    CDlgMailwright dialog(nullptr, m_updateUrl);
    RunModal(dialog);
    return false;
}

}  // namespace mailwright
