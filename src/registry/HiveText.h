#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace mailwright {

// The text a hive was read from: held in memory, or left in its file and read back piece
// by piece, so that a hive of many megabytes costs its index and little more. The file
// stays open while the text is used, so a file put in its place meanwhile changes
// nothing here; one changed in place shows as pieces that cannot be read.
class HiveText {
public:
    HiveText() = default;
    explicit HiveText(std::string text);
    // Takes the open file's descriptor; `size` is the file's size when it was read.
    HiveText(int fd, size_t size);
    // Reads the whole file into memory, keeping its descriptor for Unchanged; false when
    // it cannot be read.
    bool Load();
    ~HiveText();
    HiveText(HiveText&& other) noexcept;
    HiveText& operator=(HiveText&& other) noexcept;
    HiveText(const HiveText&) = delete;
    HiveText& operator=(const HiveText&) = delete;

    size_t Size() const { return m_size; }
    bool Empty() const { return m_size == 0; }

    // The bytes from `offset` on, `length` of them; false when they cannot all be read.
    bool Read(size_t offset, size_t length, std::string& out) const;
    bool InMemory() const { return m_fd < 0 || m_loaded; }
    // The whole text at once when it is held in memory.
    std::string_view Memory() const { return m_loaded ? std::string_view(m_loadedBytes, m_size) : m_memory; }
    // Whether the file still has the size and time it had (nothing changed it in place).
    bool Unchanged() const;

private:
    void Close();
    void Release();

    std::string m_memory;
    int m_fd = -1;
    size_t m_size = 0;
    long long m_modified = 0;  // nanoseconds
    bool m_loaded = false;
    char* m_loadedBytes = nullptr;  // the file's bytes after Load
};

}  // namespace mailwright
