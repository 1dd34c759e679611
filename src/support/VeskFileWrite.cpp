#include "support/VeskFileWrite.h"

#include "support/FileSystem.h"
#include "support/LastError.h"

namespace mailwright {

VeskFileWrite::VeskFileWrite(const std::string& fileName, unsigned /*shareMode*/) {
    if (std::optional<std::string> unix = UnixPathOf(fileName)) Open(*unix);
}

VeskFileWrite::VeskFileWrite(const UnixPath& file) { Open(file.path); }

void VeskFileWrite::Open(const std::string& unixPath) {
    auto file = std::make_unique<VeskReplacementFile>(unixPath, VeskReplacementFile::Rules{});
    if (Succeeded(file->Open())) m_file = std::move(file);
}

// Abandoned without a successful Close (an exception, an early return), the replacement
// goes with its temporary file and the target stays.
VeskFileWrite::~VeskFileWrite() = default;

bool VeskFileWrite::Succeeded(DWORD code) {
    if (code == ERROR_SUCCESS) return true;
    SetLastError(code);
    return false;
}

bool VeskFileWrite::Write(const void* data, std::size_t count) {
    if (!m_file) return Succeeded(ERROR_INVALID_HANDLE);
    return Succeeded(m_file->Write(data, count));
}

bool VeskFileWrite::Close() {
    if (!m_file) return false;
    const bool placed = Succeeded(m_file->Finish()) && Succeeded(m_file->Replace());
    m_file.reset();
    return placed;
}

}  // namespace mailwright
