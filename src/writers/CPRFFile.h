#pragma once
#include <string>

#include "account/CAccount.h"
#include "support/CRefCountPtr.h"

namespace mailwright {

// The profile file through which Outlook takes a new account at its next start: the
// built-in template, written out as template.prf in the application folder, filled in
// with the account's values and written as Account.prf beside it. Outlook reads a profile
// file without a byte-order mark in the ANSI code page, so that is what it is written in.
class CPRFFile {
public:
    // Throws when there is no account.
    CPRFFile(CRefCountPtr<CAccount> account, std::string profileName);
    virtual ~CPRFFile() = default;

    // Extracts the template, fills it in and writes Account.prf; throws on failure.
    void WriteProfileFile();

    void ExtractTemplate();
    void FillTemplate();
    void ReadTemplate();
    void ReplacePlaceholder(const std::string& placeholder, const std::string& value);
    // Writes the filled-in text in the code page Outlook reads it in (GetCodePage).
    void WriteAccountFile();

    // The prefix's ANSI code page: its "ACP" value as Wine wrote it from its locale; else
    // the code page Wine would pick for this process's locale; else 1252.
    static unsigned GetCodePage();

    bool IsTemplateExtracted() const { return m_templateExtracted; }
    const std::string& GetText() const { return m_text; }

private:
    bool m_templateExtracted = false;
    std::string m_profileName;
    std::string m_text;
    CRefCountPtr<CAccount> m_account;
};

}  // namespace mailwright
