#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace mailwright {

class CProvider;

// A value of a provider record that no real provider has.
struct ImpossibleValue {
    std::string field;     // as the provider source names it: "pop3.server", "domains", "comment"...
    std::string value;     // the value, quoted, control characters shown as "?"
    std::string expected;  // what a value there must be

    // "field value: expected ..."
    std::string Describe() const { return field + " " + value + ": expected " + expected; }
};

// The first value of the record that no real provider can have, or none. The database
// decides where mail clients send passwords, so a downloaded database and a compiled
// source pass this one rule: servers and domains are host names, ports lie from 1 to
// 65535, no text holds a control character, and the link shown is empty or a web address.
std::optional<ImpossibleValue> FindImpossibleValue(const CProvider& provider);

// Host names and mail domains: at least two dot-separated labels of letters, digits and
// hyphens, each at most 63 characters and not starting or ending with a hyphen, at most
// 253 characters in all.
bool IsHostName(std::string_view name);

}  // namespace mailwright
