#include "support/VeskFsPathT.h"

#include "support/WindowsSession.h"

namespace mailwright {

bool PathExists(VeskFsPath path) {
    path.RemoveTrailingBackslash();
    return FindFirstEntry(path.Str()).has_value();
}

VeskFsPath GetSpecialFolderPath() { return VeskFsPath(WindowsSession::Current()->GetAppDataFolder()); }

VeskFsPath GetApplicationFolder() {
    VeskFsPath folder = GetSpecialFolderPath();
    if (folder.IsEmpty()) return {};
    folder.Append("Mailwright");
    if (folder.DirectoryExists() || folder.CreateDirectoryTree()) return folder;
    return {};
}

}  // namespace mailwright
