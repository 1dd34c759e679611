#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/IUserInterface.h"

namespace mailwright::testing {

// One call that reached the user interface.
struct UiCall {
    enum Kind { Message, Error, UserName, Profile, Result, Wait } kind;
    std::string text;     // box text, prompt, or result text
    std::string caption;  // the error box's caption
    unsigned style = 0;
    std::vector<std::string> profiles;
    int outlookVersion = 0;
    ResultMessage result;
};

// A user interface that records every call, in order, and answers from a script.
// Unscripted boxes answer IDOK; unscripted dialogs are cancelled; a wait for background
// work blocks until the work ends, unless a wait handler says otherwise.
class RecordingUserInterface : public IUserInterface {
public:
    int MessageBox(const std::string& text, unsigned style) override;
    int ErrorBox(const std::string& text, const std::string& caption, unsigned style) override;
    std::optional<std::string> AskUserName(const std::string& prompt) override;
    std::optional<std::string> ChooseProfile(const std::vector<std::string>& profiles, int outlookVersion) override;
    void ShowResult(const ResultMessage& message) override;
    void WaitForTask(VeskBackgroundTask& task) override;

    void ScriptBoxAnswer(int answer) { m_boxAnswers.push_back(answer); }
    void ScriptUserName(std::optional<std::string> name) { m_userNames.push_back(std::move(name)); }
    void ScriptProfile(std::optional<std::string> profile) { m_profiles.push_back(std::move(profile)); }
    // Sees every call as it is made, before it is answered.
    void SetCallObserver(std::function<void(const UiCall&)> observer) { m_observer = std::move(observer); }
    // How WaitForTask waits (cancelling the task, or as the Qt program waits).
    void SetWaitHandler(std::function<void(VeskBackgroundTask&)> handler) { m_waitHandler = std::move(handler); }

    const std::vector<UiCall>& Calls() const { return m_calls; }
    void ClearCalls() { m_calls.clear(); }

private:
    void Record(UiCall call);

    std::vector<UiCall> m_calls;
    std::function<void(const UiCall&)> m_observer;
    std::deque<int> m_boxAnswers;
    std::deque<std::optional<std::string>> m_userNames;
    std::deque<std::optional<std::string>> m_profiles;
    std::function<void(VeskBackgroundTask&)> m_waitHandler;
};

// Installs a recording interface for the lifetime of the object.
class ScopedRecordingUserInterface {
public:
    ScopedRecordingUserInterface();
    ~ScopedRecordingUserInterface();
    RecordingUserInterface& operator*() { return *m_ui; }
    RecordingUserInterface* operator->() { return m_ui.get(); }

private:
    std::shared_ptr<RecordingUserInterface> m_ui;
    std::shared_ptr<IUserInterface> m_previous;
};

}  // namespace mailwright::testing
