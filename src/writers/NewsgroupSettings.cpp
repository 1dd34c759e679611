#include "writers/NewsgroupSettings.h"

#include "detection/WinePrefixActivity.h"
#include "support/IUserInterface.h"
#include "support/StringTable.h"
#include "support/VeskException.h"
#include "support/WinTypes.h"

namespace mailwright {

bool ApplyNewsgroupSettings(CIdentityRegWriter& writer, const OsVersionInfo& version) {
    if (version.majorVersion == 6 && version.minorVersion == 0) writer.m_client = 1;
    if (version.majorVersion == 6 && version.minorVersion == 1) writer.m_client = 2;
    if (!WinePrefixActivity::EnsureIdle()) return false;
    try {
        writer.WriteSettingsKeys();
    } catch (const Error::VeskException& e) {
        e.ReportError();
        return false;
    } catch (...) {
        AppMessageBox(IDS_ERR_UNKNOWN_NEWS, MB_OK);
        return false;
    }
    unsigned done = 0;
    if (version.majorVersion != 6) done = IDS_OE_CONFIGURED;
    else if (version.minorVersion == 0) done = IDS_WINDOWS_MAIL_CONFIGURED;
    else if (version.minorVersion == 1) done = IDS_LIVE_MAIL_CONFIGURED;
    if (done != 0) AppMessageBox(done, MB_ICONINFORMATION);
    return true;
}

}  // namespace mailwright
