#include "ui/UiText.h"

#include "support/AnsiCodePage.h"

namespace mailwright {

QString ToQString(std::string_view ansi) {
    const std::u16string wide = Utf8ToUtf16(ansi);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

std::string ToAnsi(const QString& text) {
    return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                           static_cast<std::size_t>(text.size())));
}

}  // namespace mailwright
