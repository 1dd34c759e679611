#pragma once
#include <string>

namespace mailwright {

// A typed text that may be an e-mail address the program can work with. The check is
// purely syntactic: one "@", a dot in the domain part, none of the forbidden characters.
class VeskEmailAddress : public std::string {
public:
    // The characters an address may not contain.
    static constexpr const char* ForbiddenCharacters = " \\/:;'\"?,<>|[]{}()+=!#$%^&*";

    // Keeps the text without white space at both ends.
    explicit VeskEmailAddress(const std::string& text);
    virtual ~VeskEmailAddress() = default;

    bool IsValid() const;
};

}  // namespace mailwright
