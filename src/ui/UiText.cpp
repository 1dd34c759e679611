#include "ui/UiText.h"

namespace mailwright {

QString ToQString(std::string_view ansi) {
    return QString::fromUtf8(ansi.data(), static_cast<qsizetype>(ansi.size()));
}

std::string ToAnsi(const QString& text) { return text.toStdString(); }

}  // namespace mailwright
