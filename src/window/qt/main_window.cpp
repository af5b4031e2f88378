#include "window/qt/main_window.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLayout>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QShortcut>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <vector>

#include "window/control_texts.h"
#include "window/frm_main.h"
#include "window/layout.h"
#include "window/qt/content_needs.h"
#include "window/qt/desktop_files.h"

namespace zestrel::qt {

namespace {

QString q(const std::u16string& text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }
std::u16string u(const QString& text) { return text.toStdU16String(); }

const ControlLayout& layoutOf(const char* name) {
    for (const auto& control : kControls)
        if (std::string(control.name) == name) return control;
    return kControls[0];
}

void name(QWidget* widget, const char* name) { widget->setObjectName(name); }

void setPlacement(QWidget* widget, const Placement& p) { widget->setGeometry(p.left, p.top, p.width, p.height); }

// A caption from the layout table, with its access key.
QString captionOf(const char* name) {
    return QString::fromStdString(withAccessKey(layoutOf(name).caption, controlTexts(name).accessKey));
}

// The status texts the window itself shows; the longest of them sets the status bar's width.
QStringList knownStatusTexts() {
    return {q(kBrowseInstruction), q(std::u16string(kSelectedPrefix) + u"1.1" + kUpgradeInstruction)};
}

// The window's own sizes are pixels at 96 dots per inch; Qt scales them for denser screens.
int tableUnits(int twips) { return pixels(twips); }
const TwipsToUnits kTableUnits = tableUnits;

QMessageBox::Icon iconOf(platform::MsgIcon icon) {
    switch (icon) {
    case platform::MsgIcon::Critical: return QMessageBox::Critical;
    case platform::MsgIcon::Warning: return QMessageBox::Warning;
    case platform::MsgIcon::Information: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

// Enter (either key) presses the button that has the focus, as Space does; push buttons outside
// a dialog ignore Enter otherwise. No button becomes the window's default button.
class EnterPressesFocusedButton : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        auto* button = qobject_cast<QPushButton*>(watched);
        if (!button || !button->isEnabled()) return false;
        if (!key->isAutoRepeat()) button->click();
        return true;
    }
};

void enableNow(QWidget* control, bool enabled) {
    if (control->isEnabled() == enabled) return;
    control->setEnabled(enabled);
    control->repaint();
}

}  // namespace

QIcon embeddedIcon() {
    // Every size built in (data/icons), smallest first: 16 by 16, the title bar's.
    QList<int> sizes;
    for (const QString& name : QDir(":/icons").entryList({"zestrel-upgrade-*.png"}))
        sizes.append(name.section('-', 2).section('.', 0, 0).toInt());
    std::sort(sizes.begin(), sizes.end());
    QIcon icon;
    for (const int size : sizes) icon.addFile(QString(":/icons/zestrel-upgrade-%1.png").arg(size), QSize(size, size));
    return icon;
}

QIcon programIcon() { return QIcon::fromTheme("zestrel-upgrade", embeddedIcon()); }

MainWindow::MainWindow() {
    setWindowTitle(kWindowCaption);
    setWindowIcon(programIcon());
    setAcceptDrops(true);
    buildControls();
    describeForScreenReaders();
    fitToTexts();
    form_ = std::make_unique<frmMain>(*this);
    connect(cmdOpen, &QPushButton::clicked, this, [this] { form_->cmdOpen_Click(); });
    connect(tDb, &QLineEdit::textEdited, this, [this] { form_->tDb_Change(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] {
        form_->cmdExit_Click();
        close();
    });
    connect(cmdUp, &QPushButton::clicked, this, &MainWindow::upgradeClicked);
    // Esc does what the window's close control does, also during an upgrade.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
    form_->Form_Load();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    cmdOpen->setFocus();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls() {
    Label1 = new QLabel(layoutOf("Label1").caption, this);
    name(Label1, "Label1");
    tDb = new QLineEdit(this);
    name(tDb, "tDb");
    tDb->setAcceptDrops(false);  // a drop on the path box is the window's, not text to insert
    Label1->setBuddy(tDb);
    cmdOpen = new QPushButton(captionOf("cmdOpen"), this);
    name(cmdOpen, "cmdOpen");
    pBar = new QProgressBar(this);
    name(pBar, "pBar");
    pBar->setRange(0, 100);
    pBar->setValue(0);
    pBar->setTextVisible(false);
    pBar->hide();
    LP = new QLabel(this);
    name(LP, "LP");
    cmdUp = new QPushButton(captionOf("cmdUp"), this);
    name(cmdUp, "cmdUp");
    cmdUp->setEnabled(false);
    cmdExit = new QPushButton(captionOf("cmdExit"), this);
    name(cmdExit, "cmdExit");
    sBar = new QStatusBar(this);
    name(sBar, "sBar");
    sBar->setSizeGripEnabled(false);
    statusPanel = new QLabel(sBar);
    statusPanel->setObjectName("sBarPanel1");
    // Texts from a cookbook or a file name are shown as they are, never as rich text.
    for (QLabel* label : {Label1, LP, statusPanel}) label->setTextFormat(Qt::PlainText);
    sBar->addWidget(statusPanel, 1);
    auto* enter = new EnterPressesFocusedButton(this);
    for (QPushButton* button : {cmdOpen, cmdUp, cmdExit}) {
        button->setAutoDefault(false);
        button->setDefault(false);
        button->installEventFilter(enter);
    }
    // Only Browse, the path box, Upgrade and Exit take the focus, in that order.
    for (QWidget* passive : std::initializer_list<QWidget*>{Label1, pBar, LP, sBar, statusPanel})
        passive->setFocusPolicy(Qt::NoFocus);
    setTabOrder(cmdOpen, tDb);
    setTabOrder(tDb, cmdUp);
    setTabOrder(cmdUp, cmdExit);
}

// The names a screen reader reads where a caption does not name a control (the path box has its
// prompt as buddy), and what each control is for.
void MainWindow::describeForScreenReaders() {
    for (QWidget* control : std::initializer_list<QWidget*>{Label1, tDb, cmdOpen, pBar, LP, cmdUp, cmdExit, sBar}) {
        const ControlTexts& texts = controlTexts(control->objectName().toUtf8().constData());
        if (*texts.accessibleName) control->setAccessibleName(QString::fromUtf8(texts.accessibleName));
        control->setAccessibleDescription(QString::fromUtf8(texts.description));
    }
}

void MainWindow::fitToTexts() {
    sBar->layout()->invalidate();  // its hint as its panel's text and font are now
    ContentNeeds needs{};
    const auto set = [&needs](ControlIndex i, Extent e) { needs[static_cast<std::size_t>(i)] = e; };
    set(ControlIndex::Label1, labelNeed(*Label1, {Label1->text()}));
    set(ControlIndex::tDb, lineEditNeed(*tDb));
    set(ControlIndex::cmdOpen, buttonNeed(*cmdOpen));
    set(ControlIndex::LP, labelNeed(*LP, {"100%", LP->text()}));
    set(ControlIndex::cmdUp, buttonNeed(*cmdUp));
    set(ControlIndex::cmdExit, buttonNeed(*cmdExit));
    set(ControlIndex::sBar, statusBarNeed(*sBar, *statusPanel, knownStatusTexts() << statusPanel->text()));
    needs_ = needs;
    const Extent smallest = fitLayout(needs_, 0, kTableUnits).smallest;
    setMinimumSize(smallest.width, smallest.height);
    setMaximumSize(QWIDGETSIZE_MAX, smallest.height);  // widened, never heightened
    // A window not sized yet (by this or by its user) opens at its smallest size.
    const int current = testAttribute(Qt::WA_Resized) ? width() : 0;
    resize(std::max(current, smallest.width), smallest.height);
    placeControls(width());
}

void MainWindow::placeControls(int width) {
    const FittedLayout fitted = fitLayout(needs_, width, kTableUnits);
    for (QWidget* control : std::initializer_list<QWidget*>{Label1, tDb, cmdOpen, pBar, LP, cmdUp, cmdExit, sBar}) {
        for (std::size_t i = 0; i < kControls.size(); ++i)
            if (control->objectName() == kControls[i].name) setPlacement(control, fitted.controls[i]);
    }
}

bool MainWindow::statusTextFits(const QString& text) const {
    return statusBarNeed(*sBar, *statusPanel, {text}).width <= sBar->width();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeControls(width());
}

// A new font (the desktop's, or its size) or style changes what the texts need.
void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    const bool textsChange = event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange;
    if (!textsChange || !sBar) return;
    fitToTexts();
    // The controls may take the new font after the window; measured again once they all have it.
    QTimer::singleShot(0, this, &MainWindow::fitToTexts);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* dropped = event->mimeData();
    if (!form_->running() && (dropped->hasUrls() || dropped->hasText())) event->acceptProposedAction();
}

// The drop is answered at once; what it names is chosen after, since choosing may show a box
// and the program that dragged waits for the answer.
void MainWindow::dropEvent(QDropEvent* event) {
    std::vector<std::u16string> items;
    const QMimeData* dropped = event->mimeData();
    if (dropped->hasUrls()) {
        for (const QUrl& url : dropped->urls()) items.push_back(u(url.toString(QUrl::FullyEncoded)));
    } else {
        items.push_back(u(dropped->text()));
    }
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, items] { form_->cookbookDropped(items); });
}

// The upgrade sets a text and goes straight on with work that handles no events (a pause, the
// creation of a database, the backup): each text is painted now, so that every one is seen.
// A text wider than the status bar widens the window first. Screen readers are told of the new
// text, the panel's name.
void MainWindow::setStatusText(const std::u16string& text) {
    statusPanel->setText(q(text));
    if (!statusTextFits(statusPanel->text())) fitToTexts();
    QAccessibleEvent named(statusPanel, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    QAccessibleValueChangeEvent changed(statusPanel, statusPanel->text());
    QAccessible::updateAccessibility(&changed);
    statusPanel->repaint();
}
void MainWindow::setProgressVisible(bool visible) { pBar->setVisible(visible); }
void MainWindow::setProgressValue(int value) { pBar->setValue(std::clamp(value, 0, 100)); }
void MainWindow::setPercentCaption(const std::u16string& caption) { LP->setText(q(caption)); }
// A button looks as it works from the moment it changes, not from the next time events run.
void MainWindow::setUpgradeEnabled(bool enabled) { enableNow(cmdUp, enabled); }
void MainWindow::setExitEnabled(bool enabled) { enableNow(cmdExit, enabled); }
void MainWindow::setBrowseEnabled(bool enabled) { enableNow(cmdOpen, enabled); }
void MainWindow::setPathText(const std::u16string& text) { tDb->setText(q(text)); }
std::u16string MainWindow::pathText() const { return u(tDb->text()); }
void MainWindow::setPathReadOnly(bool readOnly) { tDb->setReadOnly(readOnly); }

void MainWindow::setBusyPointer(bool busy) {
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

// The window closes once a run the owner stopped has been undone.
void MainWindow::upgradeClicked() {
    form_->cmdUp_Click();
    if (form_->closeAfterRun()) close();
}

namespace {

// A box's text as it is, never rich text, and selectable so that it can be copied.
void showPlain(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

QString titleOf(const std::u16string& title) {
    return q(title.empty() ? std::u16string(platform::kApplicationTitle) : title);
}

}  // namespace

void MainWindow::messageBox(const std::u16string& text, platform::MsgIcon icon, const std::u16string& title) {
    QMessageBox box(iconOf(icon), titleOf(title), q(text), QMessageBox::Ok, this);
    showPlain(box);
    box.exec();
}

std::size_t MainWindow::questionBox(const platform::Question& question) {
    QMessageBox box(iconOf(question.icon), titleOf(u""), q(question.text), QMessageBox::NoButton, this);
    showPlain(box);
    std::vector<QPushButton*> buttons;
    for (std::size_t i = 0; i < question.answers.size(); ++i) {
        const auto role = i == question.cancelAnswer    ? QMessageBox::RejectRole
                          : i == question.defaultAnswer ? QMessageBox::AcceptRole
                                                        : QMessageBox::ActionRole;
        buttons.push_back(box.addButton(QString::fromStdString(answerCaption(question.answers[i])), role));
    }
    if (question.defaultAnswer < buttons.size()) box.setDefaultButton(buttons[question.defaultAnswer]);
    if (question.cancelAnswer < buttons.size()) box.setEscapeButton(buttons[question.cancelAnswer]);
    box.exec();
    const auto chosen = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return chosen == buttons.end() ? question.cancelAnswer : static_cast<std::size_t>(chosen - buttons.begin());
}

void MainWindow::openWithDesktop(const std::filesystem::path& file) { qt::openWithDesktop(file); }

void MainWindow::showInFolder(const std::filesystem::path& file) { qt::showInFolder(file); }

std::optional<std::u16string> MainWindow::openFile(const platform::OpenFileRequest& request) {
    QFileDialog dialog(this, q(request.title));
    // The desktop's own dialog where the platform offers one (GTK through the platform theme, or
    // the XDG portal); Qt's own otherwise.
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(q(request.filterDescription));
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);  // *.rcp matches .RCP and .Rcp too
    dialog.selectFile(q(request.fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return u(dialog.selectedFiles().front());
}

void MainWindow::doEvents() { QCoreApplication::processEvents(); }

void MainWindow::pause(int milliseconds) { QThread::msleep(static_cast<unsigned long>(milliseconds)); }

// During an upgrade the owner is asked whether to stop it; a stop closes the window once the run
// has been undone (upgradeClicked).
void MainWindow::closeEvent(QCloseEvent* event) {
    if (!form_->Form_QueryUnload()) return event->ignore();
    form_->Form_Unload();
    event->accept();
}

}  // namespace zestrel::qt
