#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "registry/RegistryKeyNode.h"

namespace mailwright {

// What Wine makes of a value line that is not laid out as Wine writes values: it warns
// and goes on (server/registry.c, load_value). A line whose name cannot be read makes no
// value; one whose data cannot be read makes an empty REG_NONE value of that name; data
// read in part counts as far as Wine's C library reads it (a dword through strtoul).
// Seen with Wine 8: "dword:123456789" holds 0x23456789, "dword:12x4" 0x12, "dword:" 0,
// "hex:zz" and "hex:01,zz" an empty REG_NONE value, a string with text after its
// closing quote the string.
class MalformedValueReader {
public:
    enum class Outcome { Skipped, Read };

    // `line` starts at the value's '@' or '"'. `nextLine` hands out the line after the
    // last one read, for hex data continued with a backslash; false at the end.
    static Outcome Read(std::string_view line, const std::function<bool(std::string_view&)>& nextLine,
                        RegistryValue& value);
    // Wine's parse_strW: escaped text from `pos` up to `terminator`, bytes that are not
    // UTF-8 dropped; `pos` ends after the terminator. False when the line ends first.
    static bool ReadText(std::string_view line, size_t& pos, char terminator, std::u16string& out);
};

}  // namespace mailwright
