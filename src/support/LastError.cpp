#include "support/LastError.h"

#include <cerrno>

namespace mailwright {
namespace {
thread_local DWORD t_lastError = 0;

struct ErrnoMapping {
    int err;
    DWORD code;
};

// Every errno that the file and registry layers can meet, as Windows would report the
// same failure. ENXIO, ENODEV and whatever else a device may say take ERROR_GEN_FAILURE
// (ErrnoToWinError), as Wine's unknown errors do.
constexpr ErrnoMapping kErrnoMap[] = {
    {0, ERROR_SUCCESS},
    {EPERM, ERROR_ACCESS_DENIED},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {EINTR, ERROR_OPERATION_ABORTED},
    {EIO, ERROR_IO_DEVICE},
    {EBADF, ERROR_INVALID_HANDLE},
    {EAGAIN, ERROR_SHARING_VIOLATION},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EACCES, ERROR_ACCESS_DENIED},
    {EFAULT, ERROR_NOACCESS},
    {EBUSY, ERROR_BUSY},
    {EEXIST, ERROR_ALREADY_EXISTS},
    {EXDEV, ERROR_NOT_SAME_DEVICE},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EISDIR, ERROR_ACCESS_DENIED},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ETXTBSY, ERROR_SHARING_VIOLATION},
    {EFBIG, ERROR_FILE_TOO_LARGE},
    {ENOSPC, ERROR_DISK_FULL},
    {EROFS, ERROR_WRITE_PROTECT},
    {EMLINK, ERROR_TOO_MANY_LINKS},
    {EPIPE, ERROR_BROKEN_PIPE},
    {EDEADLK, ERROR_LOCK_VIOLATION},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {ENOLCK, ERROR_SHARING_BUFFER_EXCEEDED},
    {ENOSYS, ERROR_CALL_NOT_IMPLEMENTED},
    {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
    {ELOOP, ERROR_CANT_RESOLVE_FILENAME},
    {EOVERFLOW, ERROR_FILE_TOO_LARGE},
    {EOPNOTSUPP, ERROR_NOT_SUPPORTED},
    {EDQUOT, ERROR_DISK_FULL},
    {ESTALE, ERROR_INVALID_HANDLE},
};
}  // namespace

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD code) { t_lastError = code; }

DWORD ErrnoToWinError(int err) {
    for (const auto& m : kErrnoMap)
        if (m.err == err) return m.code;
    return ERROR_GEN_FAILURE;
}

DWORD SetLastErrorFromErrno(int err) {
    t_lastError = ErrnoToWinError(err);
    return t_lastError;
}

}  // namespace mailwright
