#pragma once
#include "support/WindowsSession.h"
#include "writers/CIdentityRegWriter.h"

namespace mailwright {

// The main dialog's "Apply": makes the mail client that comes with this Windows version a
// newsgroup reader (Windows Mail on 6.0, Windows Live Mail on 6.1, otherwise the writer's
// client, at first Outlook Express) and tells the user so. Failures are shown, not thrown.
// The writer lives as long as its owner, so a later call keeps the client chosen before.
// True when the settings were written.
bool ApplyNewsgroupSettings(CIdentityRegWriter& writer, const OsVersionInfo& version);

}  // namespace mailwright
