#include "support/AnsiCodePage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>

namespace mailwright {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte, unsigned char low = 0x80, unsigned char high = 0xBF) {
    return byte >= low && byte <= high;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// iconv's name of a Windows code page.
std::string IconvName(unsigned codePage) { return codePage == 65001 ? "UTF-8" : "CP" + std::to_string(codePage); }

class IconvHandle {
public:
    IconvHandle(const std::string& to, const char* from) : m_cd(::iconv_open(to.c_str(), from)) {}
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    ~IconvHandle() {
        if (IsOpen()) ::iconv_close(m_cd);
    }
    bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_cd; }

private:
    iconv_t m_cd;
};

struct LanguageCodePage {
    const char* language;
    unsigned codePage;
};

// Windows' default ANSI code page of each language that does not use 1252. The
// territory or script decides for Chinese, Serbian and Uzbek (ChooseCodePage).
constexpr LanguageCodePage kLanguageCodePages[] = {
    {"th", 874},   {"ja", 932},   {"zh", 936},   {"ko", 949},   {"bs", 1250},  {"cs", 1250},  {"hr", 1250},
    {"hu", 1250},  {"pl", 1250},  {"ro", 1250},  {"sk", 1250},  {"sl", 1250},  {"sq", 1250},  {"tk", 1250},
    {"ba", 1251},  {"be", 1251},  {"bg", 1251},  {"kk", 1251},  {"ky", 1251},  {"mk", 1251},  {"mn", 1251},
    {"ru", 1251},  {"sah", 1251}, {"sr", 1251},  {"tg", 1251},  {"tt", 1251},  {"uk", 1251},  {"el", 1253},
    {"az", 1254},  {"tr", 1254},  {"uz", 1254},  {"he", 1255},  {"ar", 1256},  {"fa", 1256},  {"ug", 1256},
    {"ur", 1256},  {"et", 1257},  {"lt", 1257},  {"lv", 1257},  {"vi", 1258},
};

std::string Lower(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return result;
}

unsigned ChooseCodePage(const std::string& language, const std::string& territory, const std::string& modifier) {
    if (language == "zh" && (territory == "tw" || territory == "hk" || territory == "mo")) return 950;
    if (language == "sr" && modifier == "latin") return 1250;
    if (language == "uz" && modifier == "cyrillic") return 1251;
    for (const LanguageCodePage& entry : kLanguageCodePages)
        if (language == entry.language) return entry.codePage;
    return 1252;
}

}  // namespace

Utf8Character DecodeUtf8(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return {lead, 1};
    std::size_t length = 0;
    char32_t code = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range, narrower after some leads
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return {kReplacement, 1};
    }
    for (std::size_t i = 1; i < length; ++i) {
        const bool fits = at + i < text.size() && (i == 1 ? IsContinuation(byte(i), low, high) : IsContinuation(byte(i)));
        if (!fits) return {kReplacement, i};
        code = (code << 6) | (byte(i) & 0x3F);
    }
    return {code, length};
}

bool IsWellFormedUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Character c = DecodeUtf8(text, at);
        if (c.code == kReplacement && text.substr(at, c.length) != "\xEF\xBF\xBD") return false;
        at += c.length;
    }
    return true;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Character c = DecodeUtf8(text, at);
        at += c.length;
        if (c.code < 0x10000) {
            result += static_cast<char16_t>(c.code);
        } else {
            result += static_cast<char16_t>(0xD800 + ((c.code - 0x10000) >> 10));
            result += static_cast<char16_t>(0xDC00 + ((c.code - 0x10000) & 0x3FF));
        }
    }
    return result;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = kReplacement;
        AppendUtf8(result, c);
    }
    return result;
}

std::optional<std::string> Utf8ToCodePage(std::string_view text, unsigned codePage) {
    IconvHandle converter(IconvName(codePage), "UTF-8");
    if (!converter.IsOpen()) return std::nullopt;
    if (IsAscii(text)) {
        // Every ANSI code page holds ASCII as it is; iconv still had to know the code page.
        return std::string(text);
    }
    std::string output;
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char buffer[4096];
    const auto flush = [&](char* end) { output.append(buffer, static_cast<std::size_t>(end - buffer)); };
    while (inLeft > 0) {
        char* out = buffer;
        std::size_t outLeft = sizeof(buffer);
        const std::size_t done = ::iconv(converter.Get(), &in, &inLeft, &out, &outLeft);
        flush(out);
        if (done != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        // A character the code page lacks, or bytes that are no character: one "?" for each.
        output += '?';
        const std::size_t skip = DecodeUtf8(std::string_view(in, inLeft), 0).length;
        in += skip;
        inLeft -= skip;
    }
    char* out = buffer;
    std::size_t outLeft = sizeof(buffer);
    ::iconv(converter.Get(), nullptr, nullptr, &out, &outLeft);  // a stateful code page's final bytes
    flush(out);
    return output;
}

unsigned AnsiCodePageOfLocale(std::string_view locale) {
    const std::size_t languageEnd = locale.find_first_of("_.@");
    const std::string language = Lower(locale.substr(0, languageEnd));
    if (language.size() < 2 || language.size() > 3) return 0;  // "C", "POSIX"
    for (char c : language)
        if (c < 'a' || c > 'z') return 0;
    std::string territory, modifier;
    if (languageEnd != std::string_view::npos && locale[languageEnd] == '_') {
        const std::string_view rest = locale.substr(languageEnd + 1);
        territory = Lower(rest.substr(0, rest.find_first_of(".@")));
    }
    if (const std::size_t at = locale.find('@'); at != std::string_view::npos) modifier = Lower(locale.substr(at + 1));
    return ChooseCodePage(language, territory, modifier);
}

unsigned AnsiCodePageOfEnvironment() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return AnsiCodePageOfLocale(value);
    }
    return 0;
}

}  // namespace mailwright
