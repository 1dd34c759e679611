#include "providers/SourceReference.h"

#include <regex>

namespace mailwright {

std::optional<SourceReference> SourceReference::Parse(std::string_view text) {
    static const std::regex file(R"(([A-Za-z0-9][A-Za-z0-9_.-]*/[A-Za-z0-9][A-Za-z0-9_.-]*):([^\s:@]+)@([0-9a-f]{7,40}))");
    static const std::regex page(R"((https?://[A-Za-z0-9.-]+(?:[/?#]\S*)?) \(read ((\d{4})-(\d{2})-(\d{2}))\))");
    const std::string s(text);
    std::smatch m;
    SourceReference reference;
    if (std::regex_match(s, m, file)) {
        reference.repository = m[1];
        reference.path = m[2];
        reference.commit = m[3];
        if (reference.path.find("..") != std::string::npos) return std::nullopt;
        return reference;
    }
    if (std::regex_match(s, m, page)) {
        const int month = std::stoi(m[4]), day = std::stoi(m[5]);
        if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
        reference.address = m[1];
        reference.readOn = m[2];
        return reference;
    }
    return std::nullopt;
}

std::string SourceReference::Text() const {
    if (IsRepositoryFile()) return repository + ":" + path + "@" + commit;
    return address + " (read " + readOn + ")";
}

}  // namespace mailwright
