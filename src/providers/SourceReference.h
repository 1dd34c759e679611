#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace mailwright {

// One entry of a record's `source` in the provider source: where a fact of the record
// was read. Either a file of a public git repository at a commit,
//     thunderbird/autoconfig:ispdb/gmx.com.xml@c6ad79659b5f
// or a web page with the day it was read,
//     https://support.google.com/mail/answer/7104828 (read 2026-12-10)
// It stays in the source: providers.lst has no room for it.
struct SourceReference {
    std::string repository;  // "owner/name", empty for a page
    std::string path;        // the file inside the repository
    std::string commit;      // 7 to 40 lower-case hex digits
    std::string address;     // the page's http or https address, empty for a file
    std::string readOn;      // the day the page was read, YYYY-MM-DD

    bool IsRepositoryFile() const { return !repository.empty(); }

    // The reference in one of the two forms above; none for any other text.
    static std::optional<SourceReference> Parse(std::string_view text);

    // The text that Parse reads back to this reference.
    std::string Text() const;
};

// The repository of the public ISP database whose files most records follow.
inline constexpr std::string_view kIspDatabaseRepository = "thunderbird/autoconfig";

}  // namespace mailwright
