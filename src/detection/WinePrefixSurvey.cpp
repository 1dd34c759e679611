#include "detection/WinePrefixSurvey.h"

#include <memory>

#include "detection/CMailClientChecker.h"
#include "platform/WinePrefixSession.h"
#include "registry/WineServer.h"
#include "support/IUserInterface.h"
#include "support/StringTable.h"
#include "support/TextUtil.h"

namespace mailwright {
namespace {

struct VersionName {
    unsigned major, minor;
    const char* name;
};
// Above 6.1 the program reads 6.2 whatever the prefix says.
constexpr VersionName kVersionNames[] = {
    {4, 0, "Windows NT 4.0 or 95"}, {4, 10, "Windows 98"},    {4, 90, "Windows ME"},
    {5, 0, "Windows 2000"},         {5, 1, "Windows XP"},     {5, 2, "Windows XP x64 or Server 2003"},
    {6, 0, "Windows Vista"},        {6, 1, "Windows 7"},      {6, 2, "Windows 8 or later"},
};

struct OutlookName {
    int version;
    const char* name;
};
constexpr OutlookName kOutlookNames[] = {{10, "Outlook 2002"}, {11, "Outlook 2003"}, {12, "Outlook 2007"},
                                         {14, "Outlook 2010"}, {15, "Outlook 2013"}, {16, "Outlook 2016 or later"}};

std::string OutlookName(int version) {
    for (const auto& row : kOutlookNames)
        if (row.version == version) return row.name;
    return Format("Outlook %d", version);
}

const char* SystemClientName(MailClientKind client) {
    switch (client) {
    case MailClientOutlookExpress: return "Outlook Express";
    case MailClientWindowsMail: return "Windows Mail";
    case MailClientWindowsLiveMail: return "Windows Live Mail";
    default: return nullptr;
    }
}

std::string ClientsText(const CMailClientChecker& checker) {
    std::string text;
    if (checker.m_outlookVersion != 0) text = OutlookName(checker.m_outlookVersion);
    if (const char* system = SystemClientName(checker.m_systemClient)) text += (text.empty() ? "" : ", ") + std::string(system);
    return text.empty() ? LoadString(IDS_PREFIX_NO_CLIENTS) : text;
}

// The prefix's session and a silent interface while the object lives.
class ScopedSurveySession {
public:
    explicit ScopedSurveySession(const std::string& folder)
        : m_session(WindowsSession::SetCurrent(std::make_shared<WinePrefixSession>(folder))),
          m_ui(SetUserInterface(nullptr)) {
        CMailClientChecker::ResetInstance();
    }
    ~ScopedSurveySession() {
        CMailClientChecker::ResetInstance();
        SetUserInterface(m_ui);
        WindowsSession::SetCurrent(m_session);
    }
    ScopedSurveySession(const ScopedSurveySession&) = delete;
    ScopedSurveySession& operator=(const ScopedSurveySession&) = delete;

private:
    std::shared_ptr<WindowsSession> m_session;
    std::shared_ptr<IUserInterface> m_ui;
};

}  // namespace

std::string WinePrefixSurvey::WindowsName(unsigned major, unsigned minor) {
    for (const VersionName& row : kVersionNames)
        if (row.major == major && row.minor == minor) return row.name;
    return Format("Windows %u.%u", major, minor);
}

PrefixSummary WinePrefixSurvey::Describe(const FoundPrefix& prefix) {
    PrefixSummary summary{prefix, LoadString(IDS_PREFIX_VERSION_UNKNOWN), LoadString(IDS_PREFIX_NO_CLIENTS),
                          IsWineServerRunning(prefix.folder)};
    const ScopedSurveySession scoped(prefix.folder);
    OsVersionInfo version;
    if (WindowsSession::Current()->GetVersionEx(version))
        summary.windows = WindowsName(version.majorVersion, version.minorVersion);
    summary.clients = ClientsText(CMailClientChecker::GetInstance());
    return summary;
}

std::vector<PrefixSummary> WinePrefixSurvey::DescribeAll(const std::vector<FoundPrefix>& prefixes) {
    std::vector<PrefixSummary> summaries;
    for (const FoundPrefix& prefix : prefixes) summaries.push_back(Describe(prefix));
    return summaries;
}

}  // namespace mailwright
