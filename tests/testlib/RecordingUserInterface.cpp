#include "testlib/RecordingUserInterface.h"

#include "support/VeskBackgroundTask.h"
#include "support/WinTypes.h"

namespace mailwright::testing {

void RecordingUserInterface::Record(UiCall call) {
    m_calls.push_back(std::move(call));
    if (m_observer) m_observer(m_calls.back());
}

int RecordingUserInterface::MessageBox(const std::string& text, unsigned style) {
    Record({UiCall::Message, text, {}, style, {}, 0, {}});
    if (m_boxAnswers.empty()) return IDOK;
    const int answer = m_boxAnswers.front();
    m_boxAnswers.pop_front();
    return answer;
}

int RecordingUserInterface::ErrorBox(const std::string& text, const std::string& caption, unsigned style) {
    Record({UiCall::Error, text, caption, style, {}, 0, {}});
    return IDOK;
}

std::optional<std::string> RecordingUserInterface::AskUserName(const std::string& prompt) {
    Record({UiCall::UserName, prompt, {}, 0, {}, 0, {}});
    if (m_userNames.empty()) return std::nullopt;
    std::optional<std::string> answer = m_userNames.front();
    m_userNames.pop_front();
    return answer;
}

std::optional<std::string> RecordingUserInterface::ChooseProfile(const std::vector<std::string>& profiles,
                                                                 int outlookVersion) {
    Record({UiCall::Profile, {}, {}, 0, profiles, outlookVersion, {}});
    if (m_profiles.empty()) return std::nullopt;
    std::optional<std::string> answer = m_profiles.front();
    m_profiles.pop_front();
    return answer;
}

void RecordingUserInterface::ShowResult(const ResultMessage& message) {
    Record({UiCall::Result, message.text, {}, 0, {}, 0, message});
}

void RecordingUserInterface::WaitForTask(VeskBackgroundTask& task) {
    Record({UiCall::Wait, {}, {}, 0, {}, 0, {}});
    if (m_waitHandler) m_waitHandler(task);
    task.Wait();
}

ScopedRecordingUserInterface::ScopedRecordingUserInterface()
    : m_ui(std::make_shared<RecordingUserInterface>()), m_previous(SetUserInterface(m_ui)) {}

ScopedRecordingUserInterface::~ScopedRecordingUserInterface() { SetUserInterface(m_previous); }

}  // namespace mailwright::testing
