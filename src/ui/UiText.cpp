#include "ui/UiText.h"

#include "support/VeskCatalog.h"

namespace mailwright {

QString ToQString(std::string_view ansi) {
    return QString::fromUtf8(ansi.data(), static_cast<qsizetype>(ansi.size()));
}

std::string ToAnsi(const QString& text) { return text.toStdString(); }

QString UiText(const char* context, const char* english) {
    return ToQString(VeskCatalog::Translate(context, english));
}

}  // namespace mailwright
