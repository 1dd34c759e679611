#pragma once
#include <cstddef>
#include <string>

namespace mailwright {

// One file opened for reading.
class VeskFileRead {
public:
    explicit VeskFileRead(const std::string& fileName);
    VeskFileRead(const VeskFileRead&) = delete;
    VeskFileRead& operator=(const VeskFileRead&) = delete;
    virtual ~VeskFileRead();

    bool IsOpen() const { return m_fd >= 0; }

    // Reads up to `count` bytes; the number read (0 at the end), or -1 on an error.
    long Read(void* buffer, std::size_t count);

    void Close();

private:
    int m_fd = -1;
};

}  // namespace mailwright
