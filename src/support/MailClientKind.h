#pragma once
#include <cstdint>

namespace mailwright {

// The mail clients that accounts are written to.
enum MailClientKind : std::int32_t {
    MailClientNone = 0,
    MailClientOutlook = 1,
    MailClientWindowsMail = 2,
    MailClientWindowsLiveMail = 3,
    MailClientOutlookExpress = 4,
};

}  // namespace mailwright
