#pragma once
#include <optional>
#include <string>

#include "support/MailClientKind.h"

namespace mailwright::cli {

// The names of the mail clients on the command line: none, outlook, windows-mail,
// windows-live-mail (also live-mail), outlook-express.
const char* ClientName(MailClientKind client);
std::optional<MailClientKind> ClientByName(const std::string& name);
// The names that --client accepts, for messages.
std::string ClientNameList();

}  // namespace mailwright::cli
