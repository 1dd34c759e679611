#pragma once
#include <string>

#include "support/IUserInterface.h"
#include "support/MailClientKind.h"

namespace mailwright {

// The text of the result dialog after a successful creation: the restart hint when the
// client runs, the success message, where the settings came from when the database did
// not list the domain (`origin`, a sentence; empty otherwise), the password hint and the
// provider's comment, with the "Additional information:" header bold. Throws when the
// process list cannot be read.
ResultMessage BuildCommentMessage(const std::string& comment, const std::string& infoUrl, MailClientKind client,
                                  const std::string& origin = {});

}  // namespace mailwright
