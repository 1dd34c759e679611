#pragma once
#include <cstdint>

#include "support/MailClientKind.h"

namespace mailwright {

// What the machine offers: the registered Outlook version, the usable mail client that
// comes with Windows and the default mail program. Detected once, on the first
// GetInstance, and kept for the rest of the run.
class CMailClientChecker {
public:
    CMailClientChecker(const CMailClientChecker&) = delete;
    CMailClientChecker& operator=(const CMailClientChecker&) = delete;
    virtual ~CMailClientChecker() = default;

    static CMailClientChecker& GetInstance();
    // The registered Outlook version for the Outlook writer: the instance's answer once
    // there is one, else read alone, without the other detections and their message box
    // (only the client being created may speak during a creation).
    static std::int32_t GetOutlookVersion();
    // Forgets the answers, so that the next GetInstance detects again (tests).
    static void ResetInstance();

    std::int32_t m_outlookVersion = 0;  // major version; 0 when Outlook is not registered
    MailClientKind m_systemClient = MailClientNone;
    MailClientKind m_defaultClient = MailClientNone;

private:
    CMailClientChecker() = default;

    void DetectOutlookVersion();
    static std::int32_t ReadOutlookVersion();
    void DetectSystemClient();
    void DetectDefaultClient();
    // Windows Mail has been opened at least once.
    static bool IsWindowsMailUsed();
    // Windows Live Mail is installed and has been opened; tells the user when it has not.
    static bool IsLiveMailUsed();
};

}  // namespace mailwright
