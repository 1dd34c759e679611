#pragma once
#include "support/WinTypes.h"

namespace mailwright {

// The calling thread's last system error, as a Windows error code.
DWORD GetLastError();
void SetLastError(DWORD code);

// The Windows error code that stands for a POSIX errno value; ERROR_GEN_FAILURE for
// one without a counterpart.
DWORD ErrnoToWinError(int err);

// Sets the thread's last error from errno and returns it.
DWORD SetLastErrorFromErrno(int err);

}  // namespace mailwright
