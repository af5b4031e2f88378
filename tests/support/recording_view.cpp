#include "support/recording_view.h"

namespace zestrel {

using Kind = ViewEvent::Kind;

void RecordingView::add(Kind kind, std::u16string text, int number, std::u16string title) {
    ViewEvent event;
    event.kind = kind;
    event.text = std::move(text);
    event.number = number;
    event.title = std::move(title);
    events.push_back(std::move(event));
}

void RecordingView::setStatusText(const std::u16string& text) {
    status = text;
    add(Kind::Status, text);
}
void RecordingView::setProgressVisible(bool visible) {
    progressVisible = visible;
    add(Kind::ProgressVisible, {}, visible);
}
void RecordingView::setProgressValue(int value) {
    progressValue = value;
    add(Kind::ProgressValue, {}, value);
}
void RecordingView::setPercentCaption(const std::u16string& caption) {
    percent = caption;
    add(Kind::Percent, caption);
}
void RecordingView::setUpgradeEnabled(bool enabled) {
    upgradeEnabled = enabled;
    add(Kind::Upgrade, {}, enabled);
}
void RecordingView::setExitEnabled(bool enabled) {
    exitEnabled = enabled;
    add(Kind::Exit, {}, enabled);
}
void RecordingView::setBrowseEnabled(bool enabled) {
    browseEnabled = enabled;
    add(Kind::Browse, {}, enabled);
}
void RecordingView::setPathText(const std::u16string& text) {
    path = text;
    add(Kind::Path, text);
}
void RecordingView::setPathReadOnly(bool readOnly) {
    pathReadOnly = readOnly;
    add(Kind::PathReadOnly, {}, readOnly);
}
void RecordingView::setBusyPointer(bool isBusy) {
    busy = isBusy;
    add(Kind::Busy, {}, isBusy);
}
void RecordingView::messageBox(const std::u16string& text, platform::MsgIcon icon, const std::u16string& title) {
    add(Kind::Message, text, static_cast<int>(icon), title);
}
std::optional<std::u16string> RecordingView::openFile(const platform::OpenFileRequest& request) {
    dialogRequests.push_back(request);
    add(Kind::Dialog, request.title);
    if (dialogAnswers.empty()) return std::nullopt;
    auto answer = dialogAnswers.front();
    dialogAnswers.pop_front();
    return answer;
}
void RecordingView::doEvents() {
    add(Kind::Yield);
    if (onYield) onYield();
}
void RecordingView::pause(int milliseconds) {
    add(Kind::Pause, {}, milliseconds);
    if (onPause) onPause();
}

std::size_t RecordingView::questionBox(const platform::Question& question) {
    add(Kind::Question, question.text, static_cast<int>(question.icon));
    events.back().answers = question.answers;
    if (onQuestion) onQuestion(question);
    if (questionAnswers.empty()) return question.cancelAnswer;
    const std::size_t answer = questionAnswers.front();
    questionAnswers.pop_front();
    return answer;
}
void RecordingView::openWithDesktop(const std::filesystem::path& file) { add(Kind::OpenedWithDesktop, file.u16string()); }
void RecordingView::showInFolder(const std::filesystem::path& file) { add(Kind::ShownInFolder, file.u16string()); }

std::vector<ViewEvent> RecordingView::messages() const { return eventsOf(Kind::Message); }

std::vector<ViewEvent> RecordingView::eventsOf(Kind kind) const {
    std::vector<ViewEvent> out;
    for (const auto& e : events)
        if (e.kind == kind) out.push_back(e);
    return out;
}

}  // namespace zestrel
