#include "support/VeskMemoryBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "support/FileSystem.h"

namespace mailwright {

bool VeskMemoryBuffer::LoadFromFile(const std::string& path) {
    Clear();
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes) || bytes.empty()) return false;
    m_data = std::move(bytes);
    m_capacity = m_length = static_cast<std::uint32_t>(m_data.size());
    return true;
}

void VeskMemoryBuffer::Assign(const void* data, std::size_t size) {
    Clear();
    if (size > UINT32_MAX) throw std::bad_alloc();
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    m_data.assign(bytes, bytes + size);
    m_capacity = m_length = static_cast<std::uint32_t>(size);
}

void VeskMemoryBuffer::Clear() {
    std::vector<std::uint8_t>().swap(m_data);
    m_capacity = m_length = m_cursor = 0;
}

void VeskMemoryBuffer::Reserve(std::uint32_t n) {
    if (static_cast<std::uint64_t>(m_cursor) + n < m_capacity) return;
    const std::uint64_t grown = static_cast<std::uint64_t>(m_capacity) + std::max(m_growBy, n);
    if (grown > UINT32_MAX) throw std::bad_alloc();
    m_data.resize(static_cast<size_t>(grown));
    m_capacity = static_cast<std::uint32_t>(grown);
}

}  // namespace mailwright
