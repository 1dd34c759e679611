#pragma once
// Bytes embedded in the program at build time (the stand-in for module resources).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace mailwright {

struct EmbeddedResource {
    const char* type;
    int id;
    const unsigned char* data;
    std::size_t size;
};

// The table that the linked resource library provides, ended by an entry without a type.
extern const EmbeddedResource g_embeddedResources[];

// The bytes of the resource of this type and identifier; nothing when the program has none.
std::optional<std::span<const std::uint8_t>> FindEmbeddedResource(std::string_view type, int id);

// Resource identifiers.
inline constexpr int IDR_DEFAULT_DATABASE = 193;  // "BIN"
inline constexpr int IDR_PRF_TEMPLATE = 182;      // "TXT"
inline constexpr int IDB_HEADER_BAND = 137;       // "PNG"
inline constexpr int IDI_MAILWRIGHT = 138;        // "PNG"

}  // namespace mailwright
