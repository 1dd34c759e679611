// Windows error codes for the errno values of the file and registry layers, and the
// system text of every code the program can report.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "support/LastError.h"
#include "support/VeskException.h"
#include "support/VeskFileWrite.h"
#include "testlib/TempFolder.h"

namespace mailwright {
namespace {

TEST(LastError, EachErrnoOfTheFileLayersHasItsWindowsCode) {
    const struct {
        int err;
        DWORD code;
    } cases[] = {
        {ENOSPC, 112}, {EDQUOT, 112},     {EROFS, 19},   {EMFILE, 4},    {ENFILE, 4},    {ENAMETOOLONG, 206},
        {EXDEV, 17},   {ENOENT, 2},       {ENOTDIR, 3},  {EACCES, 5},    {EPERM, 5},     {EISDIR, 5},
        {EEXIST, 183}, {EINVAL, 87},      {EIO, 1117},   {EFBIG, 223},   {ENOTEMPTY, 145}, {ELOOP, 1921},
        {EINTR, 995},  {EBUSY, 170},      {EAGAIN, 32},  {EDEADLK, 33},  {ENOLCK, 36},   {EBADF, 6},
        {ENOMEM, 8},   {EOPNOTSUPP, 50},  {ENOSYS, 120}, {EMLINK, 1142}, {EPIPE, 109},   {EFAULT, 998},
        // No counterpart: a general failure, never "Access is denied.".
        {ENXIO, 31},   {ENODEV, 31},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ErrnoToWinError(c.err), c.code) << c.err;
        EXPECT_NE(GetSystemErrorText(c.code), "") << c.code;
    }
}

TEST(LastError, ANameTooLongForTheFileSystemIsReportedAsSuch) {
    testing::ScopedPrefixlessSession session;
    SetLastError(0);
    VeskFileWrite file(testing::ZPath(session.Data().Sub(std::string(300, 'n'))), FILE_SHARE_READ);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(GetLastError(), 206u);
}

TEST(SystemErrorText, EveryCodeTheProgramReportsHasItsWindowsText) {
    const LONG codes[] = {
        ERROR_FILE_NOT_FOUND,    ERROR_PATH_NOT_FOUND,   ERROR_TOO_MANY_OPEN_FILES, ERROR_ACCESS_DENIED,
        ERROR_INVALID_HANDLE,    ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_DATA,       ERROR_NOT_SAME_DEVICE,
        ERROR_NO_MORE_FILES,     ERROR_WRITE_PROTECT,    ERROR_WRITE_FAULT,         ERROR_READ_FAULT,
        ERROR_GEN_FAILURE,       ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION,     ERROR_SHARING_BUFFER_EXCEEDED,
        ERROR_NOT_SUPPORTED,     ERROR_FILE_EXISTS,      ERROR_INVALID_PARAMETER,   ERROR_BROKEN_PIPE,
        ERROR_DISK_FULL,         ERROR_CALL_NOT_IMPLEMENTED, ERROR_DIR_NOT_EMPTY,   ERROR_BAD_PATHNAME,
        ERROR_BUSY,              ERROR_ALREADY_EXISTS,   ERROR_FILENAME_EXCED_RANGE, ERROR_FILE_TOO_LARGE,
        ERROR_MORE_DATA,         ERROR_NO_MORE_ITEMS,    ERROR_DIRECTORY,           ERROR_OPERATION_ABORTED,
        ERROR_NOACCESS,          ERROR_BADDB,            ERROR_BADKEY,              ERROR_CANTOPEN,
        ERROR_CANTREAD,          ERROR_CANTWRITE,        ERROR_REGISTRY_CORRUPT,    ERROR_REGISTRY_IO_FAILED,
        ERROR_KEY_DELETED,       ERROR_IO_DEVICE,        ERROR_TOO_MANY_LINKS,      ERROR_CANT_RESOLVE_FILENAME,
    };
    for (const LONG code : codes) {
        const std::string text = GetSystemErrorText(static_cast<std::uint32_t>(code));
        EXPECT_GT(text.size(), 2u) << code;
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << code;
    }
    EXPECT_EQ(GetSystemErrorText(4), "The system cannot open the file.\r\n");
    EXPECT_EQ(GetSystemErrorText(18), "There are no more files.\r\n");
    EXPECT_EQ(GetSystemErrorText(267), "The directory name is invalid.\r\n");
    EXPECT_EQ(GetSystemErrorText(19), "The media is write protected.\r\n");
}

}  // namespace
}  // namespace mailwright
