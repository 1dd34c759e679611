#pragma once
// The program's narrow strings are UTF-8 whatever the locale (UTF-8 is the process's
// ANSI code page); Qt's are UTF-16. Every text crosses between them here, without loss.
#include <QString>
#include <string>
#include <string_view>

namespace mailwright {

QString ToQString(std::string_view ansi);
std::string ToAnsi(const QString& text);

}  // namespace mailwright
