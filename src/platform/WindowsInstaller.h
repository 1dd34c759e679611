#pragma once
// The Windows Installer's component lookup (MsiLocateComponentA), answered from the
// installer data that msi keeps in the prefix's registry.
#include <string>

#include "support/WinTypes.h"

namespace mailwright {

// Installation states of a component.
inline constexpr int INSTALLSTATE_NOTUSED = -7;
inline constexpr int INSTALLSTATE_MOREDATA = -3;
inline constexpr int INSTALLSTATE_UNKNOWN = -1;
inline constexpr int INSTALLSTATE_ABSENT = 2;
inline constexpr int INSTALLSTATE_LOCAL = 3;

// The state of the component with the braced component code, for the first product that
// registered it for the user or for the machine:
// - INSTALLSTATE_UNKNOWN when no product registered it (or the code is not a GUID);
// - INSTALLSTATE_LOCAL when its key path, a file or folder, exists, or is a registry key;
// - INSTALLSTATE_ABSENT when that file or folder is missing;
// - INSTALLSTATE_NOTUSED when it has no key path.
// `path` receives the key path and `capacity` (characters offered, the NUL included) its
// length; a path that does not fit gives INSTALLSTATE_MOREDATA and leaves `path` alone.
int MsiLocateComponent(const std::string& componentCode, std::string& path, DWORD& capacity);

// The packed form under which the installer stores a GUID: the first three groups
// reversed, then each byte's two digits swapped. Empty when the text is not a braced GUID.
std::string PackGuid(const std::string& guid);

}  // namespace mailwright
