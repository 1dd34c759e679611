#pragma once

namespace mailwright {

// One UTF-16 unit lower-cased the way Wine's server does it when it compares key and
// value names: through the lower-case table of Wine's l_intl.nls. Unlike Unicode's
// simple case folding it leaves, for example, the Kelvin sign, İ and ǅ as they are, so
// that "\u212A" and "k" name two keys. The table source is made by scripts/wine-case-table.
char16_t WineLowerCase(char16_t c);

}  // namespace mailwright
