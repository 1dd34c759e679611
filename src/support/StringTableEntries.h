#pragma once
// The string table as the translations see it: every entry with its English text, and
// which entries are translated at all.
#include <string>
#include <vector>

namespace mailwright {

// The English text of an entry, whatever the user's language.
std::string LoadEnglishString(unsigned id);

// True when the entry is translated; registry paths, addresses and names are not.
bool IsTranslatedString(unsigned id);

// The context of an entry in the catalogues: its identifier, so that one English text
// may read differently in two places and a changed English text finds no old translation.
std::string TranslationContext(unsigned id);

// Every identifier of the table, ascending.
std::vector<unsigned> StringIds();

}  // namespace mailwright
