// A window that records what frmMain does to it, for tests: every call is kept
// in order as an event, the current state of each element can be read, and
// the open-file dialog answers from a queue the test fills (an empty answer
// is a cancel).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/form_view.h"

namespace zestrel {

struct ViewEvent {
    enum class Kind {
        Status, ProgressVisible, ProgressValue, Percent, Upgrade, Exit, Browse, Path, PathReadOnly, Busy, Message,
        Dialog, Yield, Pause, Question, OpenedWithDesktop, ShownInFolder
    };
    Kind kind;
    std::u16string text;  // status, caption, path, message text
    int number = 0;       // progress value, pause milliseconds, enabled/visible/busy as 0 or 1, message icon
    std::u16string title; // message title as given (empty: the application title)
    std::vector<std::u16string> answers;  // a question's answers
};

class RecordingView : public platform::FormView {
public:
    void setStatusText(const std::u16string& text) override;
    void setProgressVisible(bool visible) override;
    void setProgressValue(int value) override;
    void setPercentCaption(const std::u16string& caption) override;
    void setRowsCopied(std::uint64_t copied, std::uint64_t counted) override { rowsCopied.emplace_back(copied, counted); }
    void setUpgradeEnabled(bool enabled) override;
    void setExitEnabled(bool enabled) override;
    void setBrowseEnabled(bool enabled) override;
    void setPathText(const std::u16string& text) override;
    std::u16string pathText() const override { return path; }
    void setPathReadOnly(bool readOnly) override;
    void setBusyPointer(bool busy) override;
    void messageBox(const std::u16string& text, platform::MsgIcon icon, const std::u16string& title) override;
    std::optional<std::u16string> openFile(const platform::OpenFileRequest& request) override;
    void doEvents() override;
    void pause(int milliseconds) override;
    bool asksQuestions() const override { return asks; }
    std::size_t questionBox(const platform::Question& question) override;
    void openWithDesktop(const std::filesystem::path& file) override;
    void showInFolder(const std::filesystem::path& file) override;

    // Whether questions are asked (as a window asks them); off, the view answers as the command
    // line does, without a box.
    bool asks = false;
    // The answers the next questions get, by their place; nothing queued answers as Esc does.
    std::deque<std::size_t> questionAnswers;
    // Run when a question is asked, before it is answered.
    std::function<void(const platform::Question&)> onQuestion;

    // What the next open-file dialogs give back; nothing queued means cancel.
    std::deque<std::optional<std::u16string>> dialogAnswers;
    // Run at every yield and every pause (a test can act "during" a long operation).
    std::function<void()> onYield;
    std::function<void()> onPause;

    std::vector<ViewEvent> events;
    std::vector<platform::OpenFileRequest> dialogRequests;
    std::u16string status;
    std::u16string path;
    std::u16string percent;
    bool progressVisible = false;
    int progressValue = 0;
    // The rows the copy reported, each with the rows counted, in order (not among the events).
    std::vector<std::pair<std::uint64_t, std::uint64_t>> rowsCopied;
    bool upgradeEnabled = false;
    bool exitEnabled = true;
    bool browseEnabled = true;
    bool pathReadOnly = false;
    bool busy = false;

    // The questions asked, in order.
    std::vector<ViewEvent> questions() const { return eventsOf(ViewEvent::Kind::Question); }
    // The message boxes shown, in order.
    std::vector<ViewEvent> messages() const;
    // The events of one kind, in order.
    std::vector<ViewEvent> eventsOf(ViewEvent::Kind kind) const;

private:
    void add(ViewEvent::Kind kind, std::u16string text = {}, int number = 0, std::u16string title = {});
};

}  // namespace zestrel
