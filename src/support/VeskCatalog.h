#pragma once
// The user's language: the program's gettext catalogue, chosen from the locale
// (LANGUAGE, LC_ALL, LC_MESSAGES, LANG) as every translated Linux program chooses it.
// Until Activate, and for every text that the catalogue lacks or has stale, damaged or
// empty, texts stay English.
#include <string>
#include <string_view>

namespace mailwright {

// Marks a text of a table for the translation template (the build collects it with its
// context); VeskCatalog::Translate translates it where it is shown.
constexpr const char* TranslatableText(const char*, const char* english) { return english; }

class VeskCatalog {
public:
    static constexpr const char* kDomain = "mailwright";

    // Opens the catalogues under `localeFolder` (<folder>/<language>/LC_MESSAGES/mailwright.mo)
    // for the user's locale. The programs call it at start; the library never does, so
    // its texts stay English wherever it runs without them (the tests).
    static void Activate(const std::string& localeFolder);

    // Back to English.
    static void Deactivate();

    // The language of the catalogue in use ("pl", "de"); empty while the texts are English.
    static std::string Language();

    // The translation of an English text in its context (empty: none), or the English
    // text when there is no usable one: a translation must keep the text's placeholders.
    static std::string Translate(std::string_view context, const std::string& english);

    // The installed catalogues beside the program (../share/locale from its folder), or
    // the build tree's while the program runs from the build tree.
    static std::string DefaultLocaleFolder();

private:
    static void ChooseMessagesLocale();

    static bool s_active;
};

}  // namespace mailwright
