#pragma once
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "providers/CProviderDatabase.h"
#include "providers/ProviderOrigin.h"

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

    // A source read whole: the records and, beside them, where each comes from.
    struct Document {
        CProviderDatabase database;
        std::vector<ProviderOrigin> origins;  // one per record, in record order
        // "file:line: record "name" names no source" and the like: the maker should
        // hear of them, but the records compile all the same.
        std::vector<std::string> warnings;
    };

    // Reads the source; `fileName` is only used in messages.
    static Document Read(std::string_view text, const std::string& fileName);

    // The records of Read alone.
    static CProviderDatabase Parse(std::string_view text, const std::string& fileName);

    // The source text of a database: Parse reads it back to the same records, so
    // that a database compiled from it is the same file byte for byte.
    static std::string Format(const CProviderDatabase& database);
};

}  // namespace mailwright
