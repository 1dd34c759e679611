#pragma once
#include <string>

namespace mailwright {

// Loads Qt's own texts (the standard buttons of message boxes, the edit boxes' menus)
// in the given language ("pl"; empty: English) from Qt's translations and installs them
// for the application. False when Qt has no translation for the language.
bool InstallQtTranslations(const std::string& language);

}  // namespace mailwright
