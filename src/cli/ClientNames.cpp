#include "cli/ClientNames.h"

namespace mailwright::cli {
namespace {

struct Named {
    MailClientKind client;
    const char* name;
};

constexpr Named kNames[] = {
    {MailClientNone, "none"},
    {MailClientOutlook, "outlook"},
    {MailClientWindowsMail, "windows-mail"},
    {MailClientWindowsLiveMail, "windows-live-mail"},
    {MailClientOutlookExpress, "outlook-express"},
};

}  // namespace

const char* ClientName(MailClientKind client) {
    for (const Named& named : kNames)
        if (named.client == client) return named.name;
    return "unknown";
}

// Other names accepted on the command line.
constexpr Named kAliases[] = {
    {MailClientWindowsLiveMail, "live-mail"},
};

std::optional<MailClientKind> ClientByName(const std::string& name) {
    for (const Named& named : kNames)
        if (named.client != MailClientNone && name == named.name) return named.client;
    for (const Named& alias : kAliases)
        if (name == alias.name) return alias.client;
    return std::nullopt;
}

std::string ClientNameList() {
    std::string list;
    for (const Named& named : kNames) {
        if (named.client == MailClientNone) continue;
        if (!list.empty()) list += ", ";
        list += named.name;
    }
    return list;
}

}  // namespace mailwright::cli
