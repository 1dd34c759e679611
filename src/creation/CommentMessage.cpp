#include "creation/CommentMessage.h"

#include "detection/CProcessesEnum.h"
#include "support/StringTable.h"

namespace mailwright {
namespace {

// The restart hint for a client that runs while its account was written; 0 for none.
unsigned RestartHint(MailClientKind client) {
    if (client == MailClientOutlookExpress && IsOutlookExpressRunning()) return IDS_RESTART_OUTLOOK_EXPRESS;
    if (client == MailClientWindowsMail && IsWindowsMailRunning()) return IDS_REOPEN_WINDOWS_MAIL;
    if (client == MailClientOutlook && IsOutlookRunning()) return IDS_RESTART_OUTLOOK;
    return 0;
}

}  // namespace

ResultMessage BuildCommentMessage(const std::string& comment, const std::string& infoUrl, MailClientKind client,
                                  const std::string& origin) {
    ResultMessage message;
    message.infoUrl = infoUrl;
    if (const unsigned hint = RestartHint(client)) message.text = LoadString(hint) + "\n";
    message.text += LoadString(IDS_ACCOUNT_CREATED);
    // Each sentence on a line of its own.
    message.text += "\n";
    if (!origin.empty()) message.text += origin + "\n";
    message.text += LoadString(client == MailClientWindowsMail ? IDS_USERNAME_PASSWORD_HINT : IDS_PASSWORD_HINT);
    if (!comment.empty()) {
        const std::string header = LoadString(IDS_ADDITIONAL_INFORMATION);
        message.boldStart = message.text.size();
        message.boldLength = header.size();
        message.text += header + comment;
    }
    return message;
}

}  // namespace mailwright
