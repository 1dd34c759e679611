#include "support/LastError.h"

#include <cerrno>

namespace mailwright {
namespace {
thread_local DWORD t_lastError = 0;

struct ErrnoMapping {
    int err;
    DWORD code;
};

constexpr ErrnoMapping kErrnoMap[] = {
    {0, ERROR_SUCCESS},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EROFS, ERROR_ACCESS_DENIED},
    {EISDIR, ERROR_ACCESS_DENIED},
    {EBADF, ERROR_INVALID_HANDLE},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EEXIST, ERROR_ALREADY_EXISTS},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {ENAMETOOLONG, ERROR_INVALID_PARAMETER},
    {ENOSPC, ERROR_DISK_FULL},
    {EDQUOT, ERROR_DISK_FULL},
    {EIO, ERROR_WRITE_FAULT},
    {EBUSY, ERROR_SHARING_VIOLATION},
    {EAGAIN, ERROR_SHARING_VIOLATION},
};
}  // namespace

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD code) { t_lastError = code; }

DWORD ErrnoToWinError(int err) {
    for (const auto& m : kErrnoMap)
        if (m.err == err) return m.code;
    return ERROR_ACCESS_DENIED;
}

DWORD SetLastErrorFromErrno(int err) {
    t_lastError = ErrnoToWinError(err);
    return t_lastError;
}

}  // namespace mailwright
