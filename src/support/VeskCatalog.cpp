#include "support/VeskCatalog.h"

#include <libintl.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "BuildConfig.h"
#include "support/FormatPlaceholders.h"

namespace mailwright {

bool VeskCatalog::s_active = false;

namespace {

const char* NonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return (value && *value) ? value : nullptr;
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

// Only the messages category: numbers, character classes and collation stay "C" for the
// parsers of hives, databases and sources.
void VeskCatalog::ChooseMessagesLocale() {
    if (std::setlocale(LC_MESSAGES, "")) return;
    // The user's locale is not installed on this system. Qt still speaks the user's
    // language then; so do we, through the language list that gettext reads even in a
    // locale without its own data.
    std::setlocale(LC_MESSAGES, "C.UTF-8");
    if (NonEmptyEnv("LANGUAGE")) return;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = NonEmptyEnv(name)) {
            setenv("LANGUAGE", value, 1);
            return;
        }
    }
}

void VeskCatalog::Activate(const std::string& localeFolder) {
    ChooseMessagesLocale();
    bindtextdomain(kDomain, localeFolder.c_str());
    // The program's texts are UTF-8 whatever the locale's character set.
    bind_textdomain_codeset(kDomain, "UTF-8");
    s_active = true;
}

void VeskCatalog::Deactivate() {
    s_active = false;
    std::setlocale(LC_MESSAGES, "C");
}

std::string VeskCatalog::Language() {
    if (!s_active) return {};
    // The header of the catalogue that gettext found names its language.
    const std::string header = dgettext(kDomain, "");
    const std::string field = "\nLanguage: ";
    const std::string::size_type at = ("\n" + header).find(field);
    if (at == std::string::npos) return {};
    const std::string::size_type start = at + field.size() - 1;
    return header.substr(start, header.find('\n', start) - start);
}

std::string VeskCatalog::Translate(std::string_view context, const std::string& english) {
    if (!s_active || english.empty()) return english;
    // gettext's key of a text with context: the context, EOT, the text.
    const std::string key = context.empty() ? english : std::string(context) + '\004' + english;
    const char* found = dgettext(kDomain, key.c_str());
    if (found == key.c_str()) return english;
    const std::string translation = found;
    if (translation.empty() || !SamePlaceholders(english, translation)) return english;
    return translation;
}

std::string VeskCatalog::DefaultLocaleFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return MAILWRIGHT_INSTALL_LOCALEDIR;
    if (StartsWith(program.string(), MAILWRIGHT_BUILD_DIR "/")) return MAILWRIGHT_BUILD_DIR "/locale";
    return (program.parent_path() / MAILWRIGHT_BIN_TO_LOCALEDIR).lexically_normal().string();
}

}  // namespace mailwright
