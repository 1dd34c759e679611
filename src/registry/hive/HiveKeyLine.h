#pragma once
// The lines of Wine's hive text that belong to keys: the header line, the key line (its
// path read as Wine splits it, its seconds), the #link option, and where a key's own
// lines lie in the text.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/HiveText.h"
#include "registry/RegistryKeyNode.h"

namespace mailwright::hive {

constexpr std::string_view kHeader = "WINE REGISTRY Version 2";
constexpr std::int64_t kTicks1601To1970 = 116444736000000000LL;
constexpr std::int64_t kTicksPerSecond = 10000000LL;
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxKeyDepth = 512;

// Told where a line was skipped or read only in part: its offset in the text and what
// was expected there.
using HiveNotes = std::function<void(size_t offset, const std::string& expected)>;  // WineHive::NoteSink

// What follows a key line's closing bracket: the Unix seconds, read as Wine's
// sscanf(" %u") reads them (what follows the digits is ignored); none without digits.
std::optional<std::uint64_t> ReadKeySeconds(std::string_view line, size_t pos);

// Reads the names of a key line's path from `pos` on, as Wine splits a path: a run of
// separators counts as one, and one at the end adds nothing. `atStart`: `pos` is just
// after the opening bracket, where a separator makes the line unreadable for Wine.
// The first `count` of `names` are read (the others are buffers kept for the next line);
// `ends[i]` is where the name after `names[i]` starts (npos after the last); `depth` is
// the number of names before `pos`. False, with what was expected, for a line that
// cannot be read; `pos` then lies where the reading stopped.
bool ReadPathNames(std::string_view line, size_t& pos, bool atStart, size_t depth, std::vector<std::u16string>& names,
                   size_t& count, std::vector<size_t>& ends, std::string& expected);

// Whether the key line whose text after its opening bracket is `path` can be read.
bool KeyLineReadable(std::string_view path, std::string& expected);

bool IsLinkOption(std::string_view option);

// A key's own lines as read: the stretch without the line break before its key line.
bool ReadKeyLines(const HiveText& text, const RegistryKeyNode& key, std::string& lines, size_t& offset);

}  // namespace mailwright::hive
