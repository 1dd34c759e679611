#pragma once
#include <stdexcept>
#include <string>
#include <string_view>

#include "providers/CProviderDatabase.h"

namespace mailwright {

// The readable source of a provider database (TOML): a format_version and one
// [[provider]] table per record, with every field of the record. A text that is
// not valid UTF-8 is written as { hex = "..." } so that every byte survives.
class CProviderSource {
public:
    // A source that cannot be compiled; what() names the file, the line and column,
    // and what was expected there.
    class SyntaxError : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    // Reads the source; `fileName` is only used in error messages.
    static CProviderDatabase Parse(std::string_view text, const std::string& fileName);

    // The source text of a database: Parse reads it back to the same records, so
    // that a database compiled from it is the same file byte for byte.
    static std::string Format(const CProviderDatabase& database);
};

}  // namespace mailwright
