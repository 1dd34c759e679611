#pragma once
#include <memory>
#include <string>

#include <pugixml.hpp>

#include "account/CAccount.h"
#include "support/CRefCountPtr.h"
#include "support/WinTypes.h"

namespace mailwright {

// The account file of Windows Mail and Windows Live Mail: a "MessageAccount" document
// with the account's 19 typed settings, saved in UTF-16 into the client's store folder.
class CXMLAccountCreator {
public:
    CXMLAccountCreator() = default;
    CXMLAccountCreator(const CXMLAccountCreator&) = delete;
    CXMLAccountCreator& operator=(const CXMLAccountCreator&) = delete;
    virtual ~CXMLAccountCreator() = default;

    // Builds a new document for the account.
    void CreateAccountFromProviderSettings(CRefCountPtr<CAccount> account);

    // Writes the document, whole, as the file of that name in the store folder of
    // Windows Live Mail (flag true) or Windows Mail (flag false).
    void SaveDocument(const std::string& fileName, bool liveMail);

    // The client's "Store Root", its leading variable expanded.
    std::string GetStoreRoot(bool liveMail);

    // The document's bytes as they are saved: UTF-16LE with a byte-order mark.
    std::string SaveToMemory() const;

private:
    void GenerateXMLDoc();
    void AddNodeIntoDoc(const std::string& name, const std::string& text, const std::string& typeValue,
                        const std::string& attributeName);

    HRESULT m_lastResult = 0;
    std::unique_ptr<pugi::xml_document> m_document;
    pugi::xml_node m_root;
    CRefCountPtr<CAccount> m_account;
};

}  // namespace mailwright
