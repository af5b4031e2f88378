#include "window/qt/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <cstdlib>

#include "window/frm_main.h"
#include "window/layout.h"

namespace zestrel::qt {

namespace {

QString q(const std::u16string& text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }
std::u16string u(const QString& text) { return text.toStdU16String(); }

const ControlLayout& layoutOf(const char* name) {
    for (const auto& control : kControls)
        if (std::string(control.name) == name) return control;
    return kControls[0];
}

void place(QWidget* widget, const char* name) {
    const ControlLayout& c = layoutOf(name);
    widget->setObjectName(name);
    widget->setGeometry(pixels(c.left), pixels(c.top), pixels(c.width), pixels(c.height));
}

// A label at least as high as its font needs at the screen's density, so that descenders ("p",
// "g") are not cut off where the layout table's height is too small for the font. It grows
// downwards while that leaves it above `belowTop`, the top of the control under it, and upwards
// beyond that.
void fitToFont(QLabel* label, int belowTop) {
    const int needed = label->fontMetrics().height();
    if (label->height() >= needed) return;
    const int top = std::max(0, std::min(label->y(), belowTop - needed));
    label->setGeometry(label->x(), top, label->width(), needed);
}

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
    setFixedSize(pixels(kClientWidthTwips), pixels(kClientHeightTwips));
    buildControls();
    form_ = std::make_unique<frmMain>(*this);
    connect(cmdOpen, &QPushButton::clicked, this, [this] { form_->cmdOpen_Click(); });
    connect(tDb, &QLineEdit::textEdited, this, [this] { form_->tDb_Change(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] {
        form_->cmdExit_Click();
        close();
    });
    connect(cmdUp, &QPushButton::clicked, this, [this] { form_->cmdUp_Click(); });
    form_->Form_Load();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    cmdOpen->setFocus();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls() {
    Label1 = new QLabel(layoutOf("Label1").caption, this);
    place(Label1, "Label1");
    tDb = new QLineEdit(this);
    place(tDb, "tDb");
    fitToFont(Label1, tDb->y());
    cmdOpen = new QPushButton(layoutOf("cmdOpen").caption, this);
    place(cmdOpen, "cmdOpen");
    pBar = new QProgressBar(this);
    place(pBar, "pBar");
    pBar->setRange(0, 100);
    pBar->setValue(0);
    pBar->setTextVisible(false);
    pBar->hide();
    LP = new QLabel(this);
    place(LP, "LP");
    cmdUp = new QPushButton(layoutOf("cmdUp").caption, this);
    place(cmdUp, "cmdUp");
    cmdUp->setEnabled(false);
    cmdExit = new QPushButton(layoutOf("cmdExit").caption, this);
    place(cmdExit, "cmdExit");
    sBar = new QStatusBar(this);
    place(sBar, "sBar");
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

// The upgrade sets a text and goes straight on with work that handles no events (a pause, the
// creation of a database, the backup): each text is painted now, so that every one is seen.
void MainWindow::setStatusText(const std::u16string& text) {
    statusPanel->setText(q(text));
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

void MainWindow::messageBox(const std::u16string& text, platform::MsgIcon icon, const std::u16string& title) {
    QMessageBox box(iconOf(icon), q(title.empty() ? std::u16string(platform::kApplicationTitle) : title), q(text),
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

std::optional<std::u16string> MainWindow::openFile(const platform::OpenFileRequest& request) {
    QFileDialog dialog(this, q(request.title));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(q(request.filterDescription));
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);  // *.rcp matches .RCP and .Rcp too
    dialog.selectFile(q(request.fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return u(dialog.selectedFiles().front());
}

void MainWindow::doEvents() { QCoreApplication::processEvents(); }

void MainWindow::pause(int milliseconds) { QThread::msleep(static_cast<unsigned long>(milliseconds)); }

void MainWindow::closeEvent(QCloseEvent* event) {
    form_->Form_Unload();
    if (form_->running()) std::_Exit(0);  // ends the program at once; the cookbook is not touched before the copy ends
    event->accept();
}

}  // namespace zestrel::qt
