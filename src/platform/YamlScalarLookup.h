#pragma once
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace mailwright {

// The text of one scalar of a YAML document, found by the keys of the mappings that lead
// to it ("game", "prefix"). Launchers keep their prefixes' names and folders in YAML.
class YamlScalarLookup {
public:
    // Nothing when the text is no YAML, or the path leads to no scalar.
    static std::optional<std::string> Find(std::string_view text, std::initializer_list<std::string_view> keys);
};

}  // namespace mailwright
