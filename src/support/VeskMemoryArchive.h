#pragma once
#include <cstdint>
#include <string>
#include <type_traits>

#include "support/VeskMemoryBuffer.h"

namespace mailwright {

// Typed items on a memory buffer. Value item: a signed 32-bit byte count, then that
// many bytes, least significant first. String item: the flag byte 0x01, a signed
// 32-bit length, then the text without terminator. Reads never fail: an item that
// does not fit leaves its target as it was.
class VeskMemoryArchive : public VeskMemoryBuffer {
public:
    ~VeskMemoryArchive() override = default;

    void ReadValueItem(std::int32_t& field) { ReadValueBytes(field); }
    void ReadValueItem(std::uint32_t& field) { ReadValueBytes(field); }
    void ReadValueItem(bool& field);
    void ReadStringItem(std::string& target);

    void WriteValueItem(std::int32_t value);
    void WriteValueItem(std::uint32_t value) { WriteValueItem(static_cast<std::int32_t>(value)); }
    void WriteValueItem(bool value);
    void WriteStringItem(const std::string& text);
    void WriteBytes(const void* bytes, std::uint32_t n);

    // True when the cursor stands at the end of the stream.
    bool AtEnd() const { return m_cursor == m_length; }

private:
    // Reads one value item into `width` bytes of little-endian storage; false when
    // nothing was copied. A value wider than the field is skipped whole.
    bool ReadValueInto(std::uint8_t* field, std::uint32_t width);

    template <class T>
    void ReadValueBytes(T& field) {
        static_assert(std::is_integral_v<T>);
        using U = std::make_unsigned_t<T>;
        std::uint8_t bytes[sizeof(T)];
        U value = static_cast<U>(field);
        for (size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
        if (!ReadValueInto(bytes, sizeof(T))) return;
        value = 0;
        for (size_t i = 0; i < sizeof(T); ++i) value |= static_cast<U>(bytes[i]) << (8 * i);
        field = static_cast<T>(value);
    }

    bool ReadInt32(std::int32_t& value);
};

}  // namespace mailwright
