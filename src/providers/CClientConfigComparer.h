#pragma once
#include <string>
#include <vector>

#include "providers/CClientConfig.h"
#include "providers/CProviderDatabase.h"

namespace mailwright {

// One field in which a record of ours and a clientConfig file disagree.
struct ProviderDifference {
    std::string record;  // our record's name
    std::string domain;  // the domain compared
    std::string field;
    std::string ours;
    std::string theirs;
};

// Compares the records of a database with clientConfig files: for every record that
// lists a domain of the file, each field that would give another account than the
// file's settings, and the domains of the file that no record lists.
class CClientConfigComparer {
public:
    struct Result {
        bool concernsUs = false;  // some record lists a domain of the file
        std::vector<ProviderDifference> differences;
    };

    explicit CClientConfigComparer(const CProviderDatabase& ours) : m_ours(ours) {}

    // Compares with one usable file.
    Result Compare(const CClientConfig& theirs) const;

private:
    const CProviderDatabase& m_ours;
};

}  // namespace mailwright
