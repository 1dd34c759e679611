#include "support/AnsiCodePage.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace mailwright {
namespace {

constexpr const char* kUtf16 = "UTF-16LE";

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

bool IsAscii(std::u16string_view text) {
    for (char16_t c : text)
        if (c >= 0x80) return false;
    return true;
}

// One iconv pair per thread, reopened when the locale's character set changes.
class Converters {
public:
    ~Converters() { Close(); }

    iconv_t Get(bool toUtf16) {
        const std::string charset = AnsiCharset();
        if (charset != m_charset) {
            Close();
            m_charset = charset;
            m_toUtf16 = ::iconv_open(kUtf16, charset.c_str());
            m_fromUtf16 = ::iconv_open(charset.c_str(), kUtf16);
        }
        return toUtf16 ? m_toUtf16 : m_fromUtf16;
    }

private:
    void Close() {
        if (m_toUtf16 != Invalid()) ::iconv_close(m_toUtf16);
        if (m_fromUtf16 != Invalid()) ::iconv_close(m_fromUtf16);
        m_toUtf16 = m_fromUtf16 = Invalid();
    }
    static iconv_t Invalid() { return reinterpret_cast<iconv_t>(-1); }

    std::string m_charset;
    iconv_t m_toUtf16 = Invalid();
    iconv_t m_fromUtf16 = Invalid();
};

thread_local Converters t_converters;

// Runs iconv over the whole input; at an undecodable sequence it writes `replacement`
// and skips `skip` input bytes.
std::string Convert(iconv_t cd, std::string_view input, std::string_view replacement, size_t skip) {
    std::string output;
    if (cd == reinterpret_cast<iconv_t>(-1)) return output;
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof(buffer);
        const size_t done = ::iconv(cd, &in, &inLeft, &out, &outLeft);
        output.append(buffer, static_cast<size_t>(out - buffer));
        if (done != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (a sequence cut off at the end)
        output.append(replacement);
        const size_t step = std::min(skip, inLeft);
        in += step;
        inLeft -= step;
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* out = buffer;
    size_t outLeft = sizeof(buffer);
    ::iconv(cd, nullptr, nullptr, &out, &outLeft);
    output.append(buffer, static_cast<size_t>(out - buffer));
    return output;
}

}  // namespace

std::string AnsiCharset() {
    const char* codeset = ::nl_langinfo(CODESET);
    // The C locale's ASCII cannot be an ANSI code page; Windows' western default stands in.
    if (!codeset || !*codeset || std::strcmp(codeset, "ANSI_X3.4-1968") == 0 || std::strcmp(codeset, "ASCII") == 0)
        return "CP1252";
    return codeset;
}

std::u16string AnsiToUtf16(std::string_view text) {
    if (IsAscii(text)) return std::u16string(text.begin(), text.end());
    const std::string bytes = Convert(t_converters.Get(true), text, std::string_view("\xFD\xFF", 2), 1);
    std::u16string result(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < result.size(); ++i)
        result[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                          (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return result;
}

std::string Utf16ToAnsi(std::u16string_view text) {
    if (IsAscii(text)) return std::string(text.begin(), text.end());
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return Convert(t_converters.Get(false), bytes, "?", 2);
}

}  // namespace mailwright
