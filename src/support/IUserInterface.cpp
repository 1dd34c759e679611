#include "support/IUserInterface.h"

#include <mutex>

#include "support/StringTable.h"
#include "support/VeskBackgroundTask.h"
#include "support/WinTypes.h"

namespace mailwright {
namespace {

// Shows nothing: used until a program installs its own interface.
class SilentUserInterface : public IUserInterface {
public:
    int MessageBox(const std::string&, unsigned style) override {
        return (style & MB_TYPEMASK) == MB_YESNO ? IDNO : IDCANCEL;
    }
    int ErrorBox(const std::string&, const std::string&, unsigned) override { return IDOK; }
    std::optional<std::string> AskUserName(const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseProfile(const std::vector<std::string>&, int) override {
        return std::nullopt;
    }
    void ShowResult(const ResultMessage&) override {}
    void WaitForTask(VeskBackgroundTask& task) override { task.Wait(); }
};

std::mutex g_uiMutex;
std::shared_ptr<IUserInterface> g_ui;

}  // namespace

IUserInterface& UserInterface() {
    std::lock_guard<std::mutex> lock(g_uiMutex);
    if (!g_ui) g_ui = std::make_shared<SilentUserInterface>();
    return *g_ui;
}

std::shared_ptr<IUserInterface> SetUserInterface(std::shared_ptr<IUserInterface> ui) {
    std::lock_guard<std::mutex> lock(g_uiMutex);
    std::shared_ptr<IUserInterface> previous = std::move(g_ui);
    g_ui = std::move(ui);
    return previous;
}

int AppMessageBox(const std::string& text, unsigned style) { return UserInterface().MessageBox(text, style); }

int AppMessageBox(unsigned stringId, unsigned style) { return AppMessageBox(LoadString(stringId), style); }

}  // namespace mailwright
