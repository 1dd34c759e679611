#pragma once
// The program's narrow strings are UTF-8 whatever the locale (UTF-8 is the process's
// ANSI code page); Qt's are UTF-16. Every text crosses between them here, without loss.
#include <QString>
#include <string>
#include <string_view>

namespace mailwright {

QString ToQString(std::string_view ansi);
std::string ToAnsi(const QString& text);

// A text of a dialog template in the user's language; the context names the dialog.
// The build collects every UiText call into the translation template.
QString UiText(const char* context, const char* english);

// Marks a text for the translation template where it stands in a table; UiText
// translates it where it is shown.
constexpr const char* UiTextNoop(const char*, const char* english) { return english; }

}  // namespace mailwright
