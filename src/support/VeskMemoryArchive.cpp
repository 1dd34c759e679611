#include "support/VeskMemoryArchive.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace mailwright {

bool VeskMemoryArchive::ReadInt32(std::int32_t& value) {
    if (GetRemaining() < 4) return false;
    const std::uint8_t* p = m_data.data() + m_cursor;
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                      static_cast<std::uint32_t>(p[2]) << 16 |
                                      static_cast<std::uint32_t>(p[3]) << 24);
    m_cursor += 4;
    return true;
}

bool VeskMemoryArchive::ReadValueInto(std::uint8_t* field, std::uint32_t width) {
    std::int32_t count = 0;
    if (!ReadInt32(count) || count <= 0) return false;
    const auto n = static_cast<std::uint32_t>(count);
    if (GetRemaining() < n) return false;
    if (n > width) {
        // Never in a well-formed stream: step over the value, keep the field.
        m_cursor += n;
        return false;
    }
    std::memcpy(field, m_data.data() + m_cursor, n);
    m_cursor += n;
    return true;
}

void VeskMemoryArchive::ReadValueItem(bool& field) {
    std::uint8_t byte = field ? 1 : 0;
    if (ReadValueInto(&byte, 1)) field = byte != 0;
}

void VeskMemoryArchive::ReadStringItem(std::string& target) {
    if (GetRemaining() < 1) return;
    const std::uint8_t flag = m_data[m_cursor++];
    if (flag != 0x01) return;
    std::int32_t length = 0;
    if (!ReadInt32(length) || length <= 0) return;
    const auto n = static_cast<std::uint32_t>(length);
    if (GetRemaining() < n) {
        // The text runs past the end: nothing of it is taken.
        target.clear();
        return;
    }
    const char* text = reinterpret_cast<const char*>(m_data.data() + m_cursor);
    target.assign(text, strnlen(text, n));
    m_cursor += n;
}

void VeskMemoryArchive::WriteBytes(const void* bytes, std::uint32_t n) {
    if (n == 0) return;
    Reserve(n);
    std::memcpy(m_data.data() + m_cursor, bytes, n);
    m_cursor += n;
    if (m_cursor > m_length) m_length = m_cursor;
}

void VeskMemoryArchive::WriteValueItem(std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    const std::uint8_t bytes[8] = {4, 0, 0, 0,
                                   static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                                   static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)};
    WriteBytes(bytes, sizeof(bytes));
}

void VeskMemoryArchive::WriteValueItem(bool value) {
    const std::uint8_t bytes[5] = {1, 0, 0, 0, static_cast<std::uint8_t>(value ? 1 : 0)};
    WriteBytes(bytes, sizeof(bytes));
}

void VeskMemoryArchive::WriteStringItem(const std::string& text) {
    // The length is a signed 32-bit count: a longer text cannot be stored whole.
    if (text.size() > static_cast<std::size_t>(INT32_MAX)) throw std::length_error("text too long for a string item");
    const auto n = static_cast<std::uint32_t>(text.size());
    const std::uint8_t header[5] = {0x01, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                                    static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
    WriteBytes(header, sizeof(header));
    WriteBytes(text.data(), n);
}

}  // namespace mailwright
