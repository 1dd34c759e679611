#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/CRefCountedT.h"

namespace mailwright {

// One contiguous block of bytes with a cursor: the carrier of a database stream.
class VeskMemoryBuffer : public CRefCountedT<FreeThreadedModel> {
public:
    static constexpr std::uint32_t kDefaultGrowBy = 256;

    VeskMemoryBuffer() = default;
    ~VeskMemoryBuffer() override = default;

    // Replaces the content with the whole file; false when the file cannot be opened or
    // read, or is empty (the buffer is then empty). The cursor is at the start.
    bool LoadFromFile(const std::string& path);

    // Replaces the content with a copy of the bytes; the cursor is at the start.
    void Assign(const void* data, std::size_t size);

    // Frees the block; all sizes and the cursor become 0.
    void Clear();

    const std::uint8_t* GetData() const { return m_data.data(); }
    std::uint32_t GetLength() const { return m_length; }
    std::uint32_t GetCapacity() const { return m_capacity; }
    std::uint32_t GetCursor() const { return m_cursor; }
    std::uint32_t GetRemaining() const { return m_length - m_cursor; }
    void SetCursor(std::uint32_t offset) { m_cursor = offset <= m_length ? offset : m_length; }

protected:
    // Makes room for n more bytes at the cursor.
    void Reserve(std::uint32_t n);

    std::vector<std::uint8_t> m_data;  // m_capacity bytes
    std::uint32_t m_capacity = 0;
    std::uint32_t m_length = 0;
    std::uint32_t m_cursor = 0;  // offset of the next read or write
    std::uint32_t m_growBy = kDefaultGrowBy;
};

}  // namespace mailwright
