#pragma once
#include <string>
#include <vector>

namespace mailwright {

// The prefix folders the user chose in the dialog program, the last choice first, kept
// in <config home>/mailwright/prefixes, one folder a line.
class RememberedPrefixes {
public:
    // `configHome` is $XDG_CONFIG_HOME (default ~/.config); empty: nothing is kept.
    explicit RememberedPrefixes(std::string configHome);

    std::vector<std::string> Load() const;
    // Puts the folder first and writes the file whole, atomically; false when it cannot
    // be written (the choice then holds for this run only).
    bool Remember(const std::string& folder) const;

    std::string FilePath() const;

private:
    std::string m_configHome;
};

}  // namespace mailwright
