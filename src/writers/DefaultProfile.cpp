#include "writers/DefaultProfile.h"

#include "registry/CRegistryKey.h"
#include "support/IUserInterface.h"
#include "support/StringTable.h"
#include "support/TextUtil.h"
#include "support/VeskException.h"

namespace mailwright {
namespace {

constexpr DWORD kDefaultProfileCapacity = 4096;

std::string ReadDefaultProfileName(int outlookVersion) {
    CRegistryKey key;
    if (key.OpenKey(HKEY_CURRENT_USER, OutlookProfilesKey(outlookVersion).c_str(), KEY_READ) != ERROR_SUCCESS)
        throw Error::VeskExceptionText(IDS_ERR_OPEN_KEY);
    std::string name;
    if (key.ReadString("DefaultProfile", name, kDefaultProfileCapacity) != ERROR_SUCCESS)
        throw Error::VeskExceptionText(IDS_ERR_READ_VALUE);
    return name;
}

int FindEntryStartingWith(const std::vector<std::string>& displayed, const std::string& name) {
    const size_t count = displayed.size();
    for (size_t step = 1; step <= count; ++step) {
        const size_t index = step % count;
        if (StartsWithNoCase(displayed[index], name)) return static_cast<int>(index);
    }
    return 0;
}

}  // namespace

std::string OutlookProfilesKey(int outlookVersion) {
    if (outlookVersion < 15) return LoadString(IDS_KEY_MESSAGING_PROFILES);
    return Format("Software\\Microsoft\\Office\\%d.0\\Outlook\\Profiles", outlookVersion);
}

std::vector<std::string> SortAsComboBox(const std::vector<std::string>& names) {
    std::vector<std::string> list;
    list.reserve(names.size());
    for (const std::string& name : names) {
        const std::string key = ToLowerAscii(name);
        size_t low = 0;
        size_t high = list.size();
        while (low != high) {
            const size_t middle = (low + high) / 2;
            const int order = ToLowerAscii(list[middle]).compare(key);
            if (order == 0) {
                high = middle;
                break;
            }
            if (order > 0) high = middle;
            else low = middle + 1;
        }
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(high), name);
    }
    return list;
}

int FindDefaultProfile(const std::vector<std::string>& displayed, int outlookVersion) {
    try {
        return FindEntryStartingWith(displayed, ReadDefaultProfileName(outlookVersion));
    } catch (const Error::VeskException& e) {
        e.ReportError();
    } catch (...) {
        AppMessageBox(IDS_ERR_UNKNOWN_DEFAULT_PROFILE, MB_OK | MB_ICONWARNING);
    }
    return 0;
}

}  // namespace mailwright
