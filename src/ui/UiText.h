#pragma once
// The program's narrow strings are in the ANSI code page (the locale's character set);
// Qt's are UTF-16. Every text crosses between them here.
#include <QString>
#include <string>
#include <string_view>

namespace mailwright {

QString ToQString(std::string_view ansi);
std::string ToAnsi(const QString& text);

}  // namespace mailwright
