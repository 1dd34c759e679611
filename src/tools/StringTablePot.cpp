// mailwright-pot: writes the translatable entries of the string table as a gettext
// template, each under its identifier as context. The build merges it with the texts of
// the dialogs, the desktop entry and the metainfo into po/mailwright.pot.
#include <fstream>
#include <iostream>
#include <string>

#include "BuildConfig.h"
#include "support/StringTable.h"
#include "support/StringTableEntries.h"

namespace {

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        switch (c) {
        case '\n': quoted += "\\n"; break;
        case '\t': quoted += "\\t"; break;
        case '\r': quoted += "\\r"; break;
        case '"': quoted += "\\\""; break;
        case '\\': quoted += "\\\\"; break;
        default: quoted += c; break;
        }
    }
    return quoted + "\"";
}

void WriteHeader(std::ostream& out) {
    out << "msgid \"\"\n"
           "msgstr \"\"\n"
           "\"Project-Id-Version: Mailwright " MAILWRIGHT_VERSION_TEXT "\\n\"\n"
           "\"Report-Msgid-Bugs-To: " MAILWRIGHT_SUPPORT_EMAIL "\\n\"\n"
           "\"Language: \\n\"\n"
           "\"MIME-Version: 1.0\\n\"\n"
           "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
           "\"Content-Transfer-Encoding: 8bit\\n\"\n\n";
}

void WriteEntry(std::ostream& out, unsigned id) {
    const std::string text = mailwright::LoadEnglishString(id);
    out << "#. String-table entry " << id << ".\n";
    if (text.find('%') != std::string::npos) out << "#, c-format\n";
    out << "msgctxt " << Quoted(mailwright::TranslationContext(id)) << "\n"
        << "msgid " << Quoted(text) << "\n"
        << "msgstr \"\"\n\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: mailwright-pot OUTPUT.pot" << std::endl;
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    WriteHeader(out);
    for (const unsigned id : mailwright::StringIds()) {
        if (mailwright::IsTranslatedString(id) && !mailwright::LoadEnglishString(id).empty()) WriteEntry(out, id);
    }
    out.flush();
    if (!out) {
        std::cerr << "mailwright-pot: cannot write " << argv[1] << std::endl;
        return 1;
    }
    return 0;
}
