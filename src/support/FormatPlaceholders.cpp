#include "support/FormatPlaceholders.h"

#include <algorithm>
#include <cstring>

namespace mailwright {
namespace {

// Without the blank flag: in prose "100% done" is a percent sign, not "% d".
constexpr const char* kPrintfFlags = "-+#0'";
constexpr const char* kLengthModifiers = "hlLqjzt";
constexpr const char* kConversions = "diouxXeEfFgGaAcspn";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsOneOf(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

std::size_t SkipDigits(std::string_view text, std::size_t at) {
    while (at < text.size() && IsDigit(text[at])) ++at;
    return at;
}

// The end of a printf conversion that starts at the "%" at `start`; npos when none does.
std::size_t PrintfEnd(std::string_view text, std::size_t start) {
    std::size_t at = start + 1;
    const std::size_t digits = SkipDigits(text, at);
    if (digits > at && digits < text.size() && text[digits] == '$') at = digits + 1;
    while (at < text.size() && IsOneOf(text[at], kPrintfFlags)) ++at;
    at = (at < text.size() && text[at] == '*') ? at + 1 : SkipDigits(text, at);
    if (at < text.size() && text[at] == '.') {
        ++at;
        at = (at < text.size() && text[at] == '*') ? at + 1 : SkipDigits(text, at);
    }
    while (at < text.size() && IsOneOf(text[at], kLengthModifiers)) ++at;
    return (at < text.size() && IsOneOf(text[at], kConversions)) ? at + 1 : std::string_view::npos;
}

// The end of a Qt argument (%1 to %99, %L1) at `start`; npos when none is there.
std::size_t QtArgumentEnd(std::string_view text, std::size_t start) {
    std::size_t at = start + 1;
    if (at < text.size() && text[at] == 'L') ++at;
    if (at >= text.size() || !IsDigit(text[at]) || text[at] == '0') return std::string_view::npos;
    return std::min(SkipDigits(text, at), at + 2);
}

}  // namespace

std::vector<std::string> FormatPlaceholders(std::string_view text) {
    std::vector<std::string> printfOnes;
    std::vector<std::string> qtOnes;
    for (std::size_t at = text.find('%'); at != std::string_view::npos; at = text.find('%', at)) {
        if (at + 1 < text.size() && text[at + 1] == '%') {
            at += 2;
            continue;
        }
        if (const std::size_t end = PrintfEnd(text, at); end != std::string_view::npos) {
            printfOnes.emplace_back(text.substr(at, end - at));
            at = end;
        } else if (const std::size_t qtEnd = QtArgumentEnd(text, at); qtEnd != std::string_view::npos) {
            qtOnes.emplace_back(text.substr(at, qtEnd - at));
            at = qtEnd;
        } else {
            ++at;
        }
    }
    std::sort(qtOnes.begin(), qtOnes.end());
    printfOnes.insert(printfOnes.end(), qtOnes.begin(), qtOnes.end());
    return printfOnes;
}

bool SamePlaceholders(std::string_view english, std::string_view translation) {
    return FormatPlaceholders(english) == FormatPlaceholders(translation);
}

}  // namespace mailwright
