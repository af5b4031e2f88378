// The Qt window, offscreen: layout, captions, initial state and tab order as
// the layout table gives them; its texts whole at every font size and scale;
// access keys, Esc and the names screen readers read; drops and pasted
// file:// addresses; the Browse rules with the real open-file dialog
// answered by the test; the Upgrade command's states before, during and after
// a run; and one whole upgrade through the real window.
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "cli/sample_cookbook.h"
#include "format/create_cookbook.h"
#include "platform/file_system.h"
#include "store/db_function.h"
#include "support/fixtures.h"
#include "window/frm_main.h"
#include "window/qt/desktop_files.h"
#include "window/qt/main_window.h"

namespace fs = std::filesystem;
using zestrel::qt::MainWindow;

namespace {

struct Answered {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// The modal window that is up (message box or dialog), if any.
QWidget* shownModal() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->isModal()) return widget;
    return nullptr;
}

// Acts on the next modal window as soon as it is up.
void whenModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(10, [act] {
        if (QWidget* modal = shownModal()) return act(modal);
        whenModal(act);
    });
}

// Answers the next message box with OK and keeps what it said.
void answerMessage(Answered& into, std::function<void()> whileShown = {}) {
    whenModal([&into, whileShown](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        into = {box->windowTitle(), box->text(), box->icon()};
        if (whileShown) whileShown();
        // A box with answers of its own (the success box's "Show the backup") is closed with OK,
        // its answer for Esc.
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        (ok ? ok : box->escapeButton())->click();
    });
}

// Answers the next open-file dialog with a file, or cancels it.
void answerDialog(const QString& file, QString* title = nullptr, QStringList* filters = nullptr,
                  bool* caseSensitive = nullptr) {
    whenModal([file, title, filters, caseSensitive](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        if (title) *title = dialog->windowTitle();
        if (filters) *filters = dialog->nameFilters();
        if (caseSensitive) *caseSensitive = (dialog->filter() & QDir::CaseSensitive) != 0;
        if (file.isEmpty()) return dialog->reject();
        // Typed into the name box, as a user would, so that the filter does not hide it.
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        QVERIFY(name);
        name->setText(file);
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });
}

QString q(const fs::path& path) { return QString::fromStdString(path.string()); }

// The number of pixel rows of a picture that hold dark pixels (text).
int inkRows(const QImage& picture) {
    int rows = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (qGray(picture.pixel(x, y)) < 128) {
                ++rows;
                break;
            }
    return rows;
}

// Records what the status panel and Upgrade look like each time they are painted, in the order
// of all their paints.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(MainWindow& window) : window_(window) {
        window.statusPanel->installEventFilter(this);
        window.cmdUp->installEventFilter(this);
    }
    QStringList statusTexts;
    int firstStatusAt = -1;       // the number of paints before the run's first status text
    int upgradeDisabledAt = -1;   // and before the first of Upgrade disabled

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) return false;
        if (watched == window_.statusPanel) {
            if (firstStatusAt < 0 && window_.statusPanel->text() == "Create temporary file...") firstStatusAt = paints_;
            statusTexts << window_.statusPanel->text();
        } else if (watched == window_.cmdUp && !window_.cmdUp->isEnabled() && upgradeDisabledAt < 0) {
            upgradeDisabledAt = paints_;
        }
        ++paints_;
        return false;
    }

private:
    MainWindow& window_;
    int paints_ = 0;
};

// Whether a text is whole inside the area its widget draws it in, measured by the widget's font.
bool wholeIn(const QSize& text, const QRect& area) { return text.width() <= area.width() && text.height() <= area.height(); }

QString textFitFault(QPushButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect area = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    const QSize text = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
    if (wholeIn(text, area)) return {};
    return QString("%1: text %2x%3 in %4x%5").arg(button->objectName()).arg(text.width()).arg(text.height())
        .arg(area.width()).arg(area.height());
}

QString textFitFault(QLabel* label) {
    const QRect area = label->contentsRect().marginsRemoved(QMargins(label->margin(), label->margin(), label->margin(), label->margin()));
    const QSize text = label->fontMetrics().size(0, label->text());
    if (wholeIn(text, area)) return {};
    return QString("%1 \"%2\": text %3x%4 in %5x%6").arg(label->objectName(), label->text()).arg(text.width())
        .arg(text.height()).arg(area.width()).arg(area.height());
}

QString textFitFault(QLineEdit* box) {
    QStyleOptionFrame option;
    option.initFrom(box);
    option.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box);
    const QRect area = box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box);
    if (box->fontMetrics().height() <= area.height()) return {};
    return QString("tDb: a line %1 high in %2").arg(box->fontMetrics().height()).arg(area.height());
}

// Every fault of the window's texts: a text wider or taller than where its widget draws it, a
// control outside the window or over another.
QStringList textFaults(MainWindow& w) {
    QStringList faults;
    for (QPushButton* button : {w.cmdOpen, w.cmdUp, w.cmdExit}) faults << textFitFault(button);
    for (QLabel* label : {w.Label1, w.LP, w.statusPanel}) faults << textFitFault(label);
    faults << textFitFault(w.tDb);
    const QList<QWidget*> controls{w.Label1, w.tDb, w.cmdOpen, w.pBar, w.LP, w.cmdUp, w.cmdExit, w.sBar};
    for (qsizetype i = 0; i < controls.size(); ++i) {
        if (!w.rect().contains(controls[i]->geometry())) faults << controls[i]->objectName() + " is outside the window";
        for (qsizetype j = i + 1; j < controls.size(); ++j)
            if (controls[i]->geometry().intersects(controls[j]->geometry()))
                faults << controls[i]->objectName() + " overlaps " + controls[j]->objectName();
    }
    if (!w.sBar->rect().contains(w.statusPanel->geometry())) faults << "the status text is outside the status bar";
    faults.removeAll(QString());
    return faults;
}

// The pictures of the window, for a person to look at, where ZESTREL_WINDOW_PICTURES names a folder.
void keepPicture(QWidget& w, const QString& name) {
    const QString folder = qEnvironmentVariable("ZESTREL_WINDOW_PICTURES");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    w.grab().save(folder + "/" + name + ".png");
}

// Addresses handed to the desktop (QDesktopServices), caught instead of opened.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls << url; }
};

struct Asked {
    QString text;
    QStringList answers;
    Qt::TextFormat format = Qt::AutoText;
    Qt::TextInteractionFlags interaction;
};

// Answers the next question box with the button of this caption, and keeps what it asked;
// `whileShown` runs while the box is up, `then` once it is answered.
void answerQuestion(Asked& into, const QString& answer, std::function<void()> whileShown = {},
                    std::function<void()> then = {}) {
    whenModal([&into, answer, whileShown, then](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        into.text = box->text();
        into.answers.clear();
        into.format = box->textFormat();
        into.interaction = box->textInteractionFlags();
        QAbstractButton* chosen = nullptr;
        for (QAbstractButton* button : box->buttons()) {
            const QString caption = QString(button->text()).remove('&');  // the access key's mark
            into.answers << caption;
            if (caption == answer) chosen = button;
        }
        std::sort(into.answers.begin(), into.answers.end());
        if (whileShown) whileShown();
        QVERIFY(chosen);
        chosen->click();
        if (then) then();
    });
}

// The pixels of a picture that are clearly red (what a font colour or an image of markup paints).
int redPixels(const QImage& picture) {
    int red = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            red += c.red() > 200 && c.green() < 80 && c.blue() < 80 ? 1 : 0;
        }
    return red;
}

// The label that shows a box's text (the icon beside it has red in the critical one).
QLabel& textLabelOf(QMessageBox& box) {
    for (QLabel* label : box.findChildren<QLabel*>())
        if (label->text() == box.text()) return *label;
    return *box.findChild<QLabel*>();
}

// Every label of a widget that shows text, and whether each shows it as plain text.
QStringList richLabels(QWidget& widget) {
    QStringList rich;
    for (QLabel* label : widget.findChildren<QLabel*>())
        if (!label->text().isEmpty() && label->textFormat() != Qt::PlainText) rich << label->objectName() + ": " + label->text();
    return rich;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    fs::path dir_;

    // A cookbook of layout 1.3 whose Version row holds `marker`.
    fs::path currentWithMarker(const std::string& name, const std::u16string& marker) {
        const fs::path path = dir_ / name;
        zestrel::dbFunction::CreateCookbook(path.u16string());
        setMarker(path, marker);
        return path;
    }

    static void setMarker(const fs::path& path, const std::u16string& marker) {
        zestrel::dbFunction::OpenCookbook(path.u16string());
        auto rs = zestrel::dbFunction::dbCookbook->OpenRecordset(u"Version", 2);
        rs->Edit();
        rs->Collect(u"Version") = zestrel::dao::Variant(marker);
        rs->Update();
        rs->Close();
        zestrel::dbFunction::CloseCookbook();
    }

    fs::path cookbookWithMarker(const std::string& name, const std::optional<std::u16string>& marker) {
        zestrel::cli::SampleOptions options;
        options.layout = marker ? zestrel::cli::OldLayout::V11 : zestrel::cli::OldLayout::V10;
        // Values the new layout takes as they are: the upgrade asks nothing before it runs.
        options.recipeRows = std::vector<nlohmann::json>{{{"Name", "Soup"}, {"rID", "1"}}, {{"Name", "Stew"}, {"rID", "2"}}};
        options.ingredientRows = std::vector<nlohmann::json>{{{"Name", "Salt"}, {"Amt", "1"}, {"rID", "1"}},
                                                             {{"Name", "Leek"}, {"Amt", "2"}, {"rID", "2"}}};
        const fs::path path = dir_ / name;
        zestrel::cli::writeSampleCookbook(path, options);
        if (marker && *marker != u"1.1") setMarker(path, *marker);
        return path;
    }

    // Two values of two recipes change: a serving cut to Yield, an amount cut.
    fs::path changingCookbook(const std::string& name) {
        zestrel::cli::SampleOptions options;
        options.layout = zestrel::cli::OldLayout::V11;
        options.recipeRows = std::vector<nlohmann::json>{{{"Name", "Soup"}, {"Serving", "12 servings"}, {"rID", "1"}},
                                                         {{"Name", "Stew"}, {"rID", "2"}}};
        options.ingredientRows = std::vector<nlohmann::json>{{{"Name", "Salt"}, {"Amt", "a heaped handful of it"}, {"rID", "2"}}};
        const fs::path path = dir_ / name;
        zestrel::cli::writeSampleCookbook(path, options);
        return path;
    }

    static std::string readAll(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private slots:
    void initTestCase() {
        // No file manager answers on a bus that is not there.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zestrel-test-bus");
        dir_ = zestrel::test::makeTempDir("qt");
        zestrel::platform::setProgramFolder(dir_);
    }
    void cleanupTestCase() { fs::remove_all(dir_); }

    void windowAndControlsFollowTheLayoutTable() {
        MainWindow w;
        w.show();
        QCOMPARE(w.windowTitle(), QString("Zestrel - Cookbook Upgrade Utility"));
        QCOMPARE(w.size(), QSize(367, 145));
        // Its smallest size is the table's; it may be widened, not heightened.
        QCOMPARE(w.minimumSize(), QSize(367, 145));
        QCOMPARE(w.maximumHeight(), 145);
        QVERIFY(w.maximumWidth() > 367);
        // The window shows the program's icon, which has a picture for the title bar's 16 by 16.
        QVERIFY(zestrel::qt::embeddedIcon().availableSizes().contains(QSize(16, 16)));
        const QPixmap shown = w.windowIcon().pixmap(QSize(16, 16));
        QVERIFY(!shown.isNull());
        QCOMPARE(shown.toImage(), zestrel::qt::programIcon().pixmap(QSize(16, 16)).toImage());
        const struct {
            QWidget* widget;
            QRect pixels;
        } expected[] = {{w.tDb, {6, 28, 297, 19}},   {w.cmdOpen, {308, 28, 55, 21}},
                        {w.pBar, {6, 60, 295, 17}},   {w.LP, {306, 60, 57, 15}},   {w.cmdUp, {214, 92, 71, 27}},
                        {w.cmdExit, {292, 92, 71, 27}}, {w.sBar, {0, 126, 367, 19}}};
        for (const auto& e : expected) QCOMPARE(e.widget->geometry(), e.pixels);
        // The label keeps its place and width; its height is the table's 13 pixels or what its font needs.
        QCOMPARE(w.Label1->x(), 8);
        QCOMPARE(w.Label1->width(), 293);
        QCOMPARE(w.Label1->height(), std::max(13, w.Label1->fontMetrics().height()));
        QCOMPARE(w.Label1->text(), QString("Please select a cookbook to upgrade:"));
        // The captions with their access keys.
        QCOMPARE(w.cmdOpen->text(), QString("&Browse"));
        QCOMPARE(w.cmdUp->text(), QString("&Upgrade"));
        QCOMPARE(w.cmdExit->text(), QString("E&xit"));
    }

    // At every font size from 8 to 24 points (and, run again with QT_SCALE_FACTOR, at every
    // scale): no text is cut, no control overlaps another, and the window is never smaller than
    // the table's. Widened, the path box takes the width.
    void textsAreWholeAtEveryFontSize_data() {
        QTest::addColumn<int>("points");
        for (const int points : {8, 12, 15, 20, 24}) QTest::addRow("%d points", points) << points;
    }

    void textsAreWholeAtEveryFontSize() {
        QFETCH(int, points);
        const QFont before = QApplication::font();
        QFont font = before;
        font.setPointSize(points);
        QApplication::setFont(font);
        {
            MainWindow w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QVERIFY(w.minimumWidth() >= 367 && w.minimumHeight() >= 145);
            if (points == 8) QCOMPARE(w.size(), QSize(367, 145));  // the texts fit the table: the form as it was
            const QStringList statusTexts{"Click on Browse button to select a cookbook.",
                                          "Selected cookbook version is 1.1, click Upgrade to start.",
                                          "Copying data from old cookbook..."};
            w.setPercentCaption(u"100%");
            w.setProgressVisible(true);
            for (const QString& text : statusTexts) {
                w.setStatusText(text.toStdU16String());
                w.sBar->layout()->activate();
                const QStringList faults = textFaults(w);
                QVERIFY2(faults.isEmpty(), qPrintable(faults.join("; ")));
            }
            const QString name = QString("%1pt-scale%2").arg(points).arg(w.devicePixelRatio());
            keepPicture(w, name);
            qInfo() << name << "window" << w.size() << "smallest" << w.minimumSize();

            const int browseGap = w.width() - w.cmdOpen->geometry().right();
            const int pathWidth = w.tDb->width();
            w.resize(w.width() + 200, w.height());
            QCOMPARE(w.tDb->width(), pathWidth + 200);
            QCOMPARE(w.width() - w.cmdOpen->geometry().right(), browseGap);
            QVERIFY2(textFaults(w).isEmpty(), qPrintable(textFaults(w).join("; ")));
            keepPicture(w, name + "-widened");

        }
        QApplication::setFont(before);
    }

    // The desktop's font grows, then shrinks, while the window is open: the window follows, and no
    // text (the status text among them) is taller or wider than where it is drawn.
    void textsStayWholeWhenTheDesktopFontChanges() {
        const QFont before = QApplication::font();
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.setStatusText(u"Click on Browse button to select a cookbook.");
        QMap<int, int> heights;
        for (const int points : {16, 24, 9}) {
            QFont font = before;
            font.setPointSize(points);
            QApplication::setFont(font);
            // Every widget takes the font, then its layout settles: no fixed wait.
            QTRY_COMPARE(w.statusPanel->font().pointSize(), points);
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
            const QStringList faults = textFaults(w);
            QVERIFY2(faults.isEmpty(), qPrintable(QString("at %1 points: ").arg(points) + faults.join("; ")));
            QVERIFY2(w.sBar->height() >= w.statusPanel->fontMetrics().height(),
                     qPrintable(QString("at %1 points: a %2 px status bar for %3 px text").arg(points)
                                    .arg(w.sBar->height()).arg(w.statusPanel->fontMetrics().height())));
            keepPicture(w, QString("font-changed-to-%1pt").arg(points));
            heights[points] = w.height();
        }
        // The window follows the font both ways.
        QVERIFY(heights[24] > heights[16]);
        QVERIFY(heights[9] < heights[24]);
        QApplication::setFont(before);
    }

    // Esc closes the window, from any control.
    void escClosesTheWindow() {
        MainWindow w;
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.tDb->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(w.form().unloaded());
        QVERIFY(!w.isVisible());
    }

    // What a screen reader reads: every control has a name; the path box is named by the prompt,
    // its label; the status panel by its text.
    void screenReadersFindEveryName() {
        MainWindow w;
        w.show();
        QAccessible::setActive(true);
        const auto named = [](QWidget* widget) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
            return iface ? iface->text(QAccessible::Name) : QString();
        };
        QCOMPARE(named(w.tDb), w.Label1->text());
        QCOMPARE(named(w.cmdOpen), QString("Browse"));
        QCOMPARE(named(w.cmdUp), QString("Upgrade"));
        QCOMPARE(named(w.cmdExit), QString("Exit"));
        QCOMPARE(named(w.pBar), QString("Upgrade progress"));
        QCOMPARE(named(w.LP), QString("Percent copied"));
        QCOMPARE(named(w.sBar), QString("Status"));
        for (QWidget* control : std::initializer_list<QWidget*>{w.tDb, w.cmdOpen, w.cmdUp, w.cmdExit, w.pBar, w.LP})
            QVERIFY2(!QAccessible::queryAccessibleInterface(control)->text(QAccessible::Description).isEmpty(),
                     qPrintable(control->objectName()));
        // The path box is labelled by the prompt, a relation the screen reader follows.
        QAccessibleInterface* path = QAccessible::queryAccessibleInterface(w.tDb);
        const auto labels = path->relations(QAccessible::Label);
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels.front().first->object(), w.Label1);
        w.setStatusText(u"Copying data from old cookbook...");
        QCOMPARE(named(w.statusPanel), QString("Copying data from old cookbook..."));
    }

    // A file dropped on the window, as a list of addresses or as a file:// text, is chosen as
    // Browse chooses it; anything else is refused with a warning.
    void aDroppedCookbookIsChosenAsBrowseChoosesIt_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("taken");
        QTest::newRow("uri-list") << "uri-list" << true;
        QTest::newRow("file:// text") << "text" << true;
        QTest::newRow("web address") << "web" << false;
        QTest::newRow("plain words") << "words" << false;
    }

    void aDroppedCookbookIsChosenAsBrowseChoosesIt() {
        QFETCH(QString, kind);
        QFETCH(bool, taken);
        const fs::path book = cookbookWithMarker(("dropped #1 50% " + kind + ".rcp").toStdString(), u"1.1");
        MainWindow w;
        w.show();
        QMimeData data;
        if (kind == "uri-list") data.setUrls({QUrl::fromLocalFile(q(book))});
        if (kind == "text") data.setText(QUrl::fromLocalFile(q(book)).toString(QUrl::FullyEncoded) + "\r\n");
        if (kind == "web") data.setUrls({QUrl("https://example.org/dropped.rcp")});
        if (kind == "words") data.setText("<b>Soup</b>\nStew");
        // Over the path box, which leaves drops to the window rather than inserting their text.
        const QPoint at = w.tDb->geometry().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        Answered warning;
        if (!taken) answerMessage(warning);
        QApplication::sendEvent(&w, &drop);
        QVERIFY(drop.isAccepted());
        if (taken) {
            QTRY_COMPARE(w.tDb->text(), q(book));
            QCOMPARE(w.statusPanel->text(), QString("Selected cookbook version is 1.1, click Upgrade to start."));
            QVERIFY(w.cmdUp->isEnabled());
            return;
        }
        QTRY_COMPARE(warning.icon, QMessageBox::Warning);
        QVERIFY2(warning.text.contains("is not a cookbook that can be upgraded"), qPrintable(warning.text));
        QVERIFY(w.tDb->text().isEmpty());
        QCOMPARE(w.statusPanel->text(), QString("Click on Browse button to select a cookbook."));
    }

    // A file:// address pasted into the path box is upgraded as the file it names.
    void aPastedAddressIsUpgradedAsItsFile() {
        const fs::path book = cookbookWithMarker("pasted ë.rcp", u"1.1");
        MainWindow w;
        w.show();
        QGuiApplication::clipboard()->setText(QUrl::fromLocalFile(q(book)).toString(QUrl::FullyEncoded));
        w.tDb->setFocus();
        w.tDb->paste();
        QVERIFY(w.tDb->text().startsWith("file:///"));
        QVERIFY(w.cmdUp->isEnabled());
        Answered success;
        answerMessage(success);
        QTest::mouseClick(w.cmdUp, Qt::LeftButton);
        QVERIFY2(success.text.startsWith("Upgrade successful!"), qPrintable(success.text));
        QCOMPARE(w.tDb->text(), q(book));
        QVERIFY(fs::is_regular_file(dir_ / "Backup" / "pasted ë_backup.rcp"));
    }

    void startsInItsInitialState() {
        MainWindow w;
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(w.tDb->text().isEmpty());
        QVERIFY(!w.cmdUp->isEnabled());
        QVERIFY(w.cmdExit->isEnabled() && w.cmdOpen->isEnabled());
        QVERIFY(!w.pBar->isVisible());
        QCOMPARE(w.pBar->minimum(), 0);
        QCOMPARE(w.pBar->maximum(), 100);
        QCOMPARE(w.pBar->value(), 0);
        QVERIFY(w.LP->text().isEmpty());
        QCOMPARE(w.statusPanel->text(), QString("Click on Browse button to select a cookbook."));
        QVERIFY(w.cmdOpen->hasFocus());
        for (QPushButton* b : {w.cmdOpen, w.cmdUp, w.cmdExit}) QVERIFY(!b->isDefault() && !b->autoDefault());
    }

    void tabOrderIsBrowsePathUpgradeExit() {
        MainWindow w;
        QList<QWidget*> order;
        QWidget* at = w.cmdOpen;
        do {
            if (at->focusPolicy() & Qt::TabFocus) order << at;
            at = at->nextInFocusChain();
        } while (at != w.cmdOpen);
        QCOMPARE(order, (QList<QWidget*>{w.cmdOpen, w.tDb, w.cmdUp, w.cmdExit}));
    }

    void browseAsksWithTheDialogAndAppliesTheExtensionRule() {
        MainWindow w;
        w.show();
        std::ofstream(dir_ / "Family.txt") << "not a cookbook";
        cookbookWithMarker("Family.txt.rcp", std::nullopt);
        QString title;
        QStringList filters;
        bool caseSensitive = true;
        answerDialog(q(dir_ / "Family.txt"), &title, &filters, &caseSensitive);
        w.cmdOpen->click();
        QCOMPARE(title, QString("Open Cookbook"));
        QCOMPARE(filters, QStringList{"Zestrel Cookbook (*.rcp)"});
        QVERIFY(!caseSensitive);  // the filter shows Family.RCP and family.Rcp as well
        QCOMPARE(w.tDb->text(), q(dir_ / "Family.txt.rcp"));
        QVERIFY(w.cmdUp->isEnabled());
        QCOMPARE(w.statusPanel->text(), QString("Selected cookbook version is 1.0, click Upgrade to start."));

        const fs::path upper = cookbookWithMarker("Upper.RCP", u"1.1");
        answerDialog(q(upper));
        w.cmdOpen->click();
        QCOMPARE(w.tDb->text(), q(upper));  // .RCP stays as it is
        QCOMPARE(w.statusPanel->text(), QString("Selected cookbook version is 1.1, click Upgrade to start."));
    }

    // Run at 96, 120 and 144 dots per inch (QT_FONT_DPI): the label is as high as its font needs,
    // so "p" and "g" are not cut off, and it stays clear of the path box below it.
    void labelIsAsHighAsItsFontNeeds() {
        MainWindow w;
        w.show();
        const QFontMetrics metrics = w.Label1->fontMetrics();
        // Every row of ink the text has shows: the same label with room to spare has no more.
        QLabel roomy(w.Label1->text());
        roomy.setFont(w.Label1->font());
        roomy.setAlignment(w.Label1->alignment());
        roomy.resize(w.Label1->width(), 3 * metrics.height());
        const int shown = inkRows(w.Label1->grab().toImage());
        QVERIFY(shown > 0);
        QCOMPARE(shown, inkRows(roomy.grab().toImage()));
        QVERIFY(w.Label1->height() >= metrics.height());
        QVERIFY(w.Label1->y() >= 0);
        QVERIFY(w.Label1->geometry().bottom() < w.tDb->y());
        QVERIFY(metrics.boundingRect(w.Label1->text()).height() <= w.Label1->contentsRect().height());
        qInfo() << "dots per inch" << w.logicalDpiY() << "scale" << w.devicePixelRatio() << "font height" << metrics.height()
                << "label" << w.Label1->geometry() << "rows of ink" << shown;
    }

    void aTypedPathIsWhatUpgradeUpgrades() {
        const fs::path chosen = cookbookWithMarker("chosen.rcp", u"1.1");
        const fs::path typed = cookbookWithMarker("typed.rcp", u"1.1");
        const std::string chosenBefore = zestrel::test::fileBytes(chosen);
        MainWindow w;
        w.show();
        answerDialog(q(chosen));
        w.cmdOpen->click();
        w.tDb->clear();
        w.tDb->setFocus();
        QTest::keyClicks(w.tDb, q(dir_ / "typed"));  // the extension rule adds ".rcp"
        QVERIFY(w.cmdUp->isEnabled());
        Answered success;
        answerMessage(success);
        QTest::mouseClick(w.cmdUp, Qt::LeftButton);
        QVERIFY(success.text.startsWith("Upgrade successful!"));
        QCOMPARE(w.tDb->text(), q(typed));
        QCOMPARE(zestrel::test::fileBytes(chosen), chosenBefore);
        QVERIFY(fs::is_regular_file(dir_ / "Backup" / "typed_backup.rcp"));
        QVERIFY(!fs::exists(dir_ / "Backup" / "chosen_backup.rcp"));
    }

    void browseOnAFileThatIsNoCookbookSaysWhy() {
        std::ofstream(dir_ / "notes.rcp") << "Soup: water, salt";
        MainWindow w;
        w.show();
        answerDialog(q(dir_ / "notes.rcp"));
        Answered warning;
        answerMessage(warning);
        w.cmdOpen->click();
        QCOMPARE(warning.icon, QMessageBox::Warning);
        QCOMPARE(warning.title, QString("Zestrel Cookbook Upgrade"));
        QVERIFY2(warning.text.startsWith("\"" + q(dir_ / "notes.rcp") + "\" is not a cookbook that can be upgraded: 3343 - "),
                 qPrintable(warning.text));
        QVERIFY(!w.cmdUp->isEnabled());
        QVERIFY(w.tDb->text().isEmpty());
        QCOMPARE(w.statusPanel->text(), QString("Click on Browse button to select a cookbook."));
    }

    void cancellingBrowseChangesNothing() {
        MainWindow w;
        w.show();
        const fs::path book = cookbookWithMarker("cancel.rcp", u"1.1");
        answerDialog(q(book));
        w.cmdOpen->click();
        const QString status = w.statusPanel->text();
        answerDialog(QString());
        w.cmdOpen->click();
        QCOMPARE(w.tDb->text(), q(book));
        QCOMPARE(w.statusPanel->text(), status);
        QCOMPARE(w.form().sCookbookPath, book.u16string());
        QCOMPARE(w.form().sCookbookVersion, std::u16string(u"1.1"));
    }

    void versionsAreOfferedOrTurnedDown_data() {
        QTest::addColumn<QString>("tables");  // the layout the tables are
        QTest::addColumn<QString>("marker");  // "-" for the layout's own (1.0: no Version table)
        QTest::addColumn<QString>("shown");   // empty: turned down as up to date
        QTest::addColumn<bool>("warned");     // the marker belies the tables, and Browse says so
        QTest::newRow("none") << "1.0" << "-" << "1.0" << false;
        QTest::newRow("1.1") << "1.1" << "-" << "1.1" << false;
        QTest::newRow("1.10") << "1.1" << "1.10" << "1.1" << false;
        QTest::newRow("1.0 written on 1.1") << "1.1" << "1.0" << "1.1" << true;
        QTest::newRow("0.9 on 1.1") << "1.1" << "0.9" << "1.1" << true;
        QTest::newRow("1.x on 1.1") << "1.1" << "1.x" << "1.1" << true;
        QTest::newRow("2.0 on 1.1") << "1.1" << "2.0" << "1.1" << true;
        QTest::newRow("1.2 on 1.3") << "1.3" << "1.2" << "" << false;
        QTest::newRow("1.3 on 1.3") << "1.3" << "1.3" << "" << false;
        QTest::newRow("1.25 on 1.3") << "1.3" << "1.25" << "" << false;
        QTest::newRow("10 on 1.3") << "1.3" << "10" << "" << false;
    }

    void versionsAreOfferedOrTurnedDown() {
        QFETCH(QString, tables);
        QFETCH(QString, marker);
        QFETCH(QString, shown);
        QFETCH(bool, warned);
        static int counter = 0;
        const auto name = "v" + std::to_string(counter++) + ".rcp";
        fs::path book;
        if (tables == "1.3") book = currentWithMarker(name, marker.toStdU16String());
        else if (marker == "-") book = cookbookWithMarker(name, tables == "1.0" ? std::nullopt : std::optional(std::u16string(u"1.1")));
        else book = cookbookWithMarker(name, marker.toStdU16String());
        MainWindow w;
        w.show();
        answerDialog(q(book));
        Answered warning;
        if (shown.isEmpty() || warned) answerMessage(warning);
        w.cmdOpen->click();
        if (shown.isEmpty()) {
            QCOMPARE(warning.text, QString("This cookbook is already up to date. You don't need to upgrade it."));
            QCOMPARE(warning.icon, QMessageBox::Warning);
            QCOMPARE(warning.title, QString("Zestrel Cookbook Upgrade"));
            QVERIFY(w.tDb->text().isEmpty());
            QVERIFY(!w.cmdUp->isEnabled());  // the emptied box disabled it
            QCOMPARE(w.statusPanel->text(), QString("Click on Browse button to select a cookbook."));
            return;
        }
        if (warned) {
            QCOMPARE(warning.icon, QMessageBox::Warning);
            QCOMPARE(warning.text, "The cookbook says " + marker + ", but its tables are those of " + shown +
                                       ". It is upgraded as a cookbook of " + shown + ".");
        }
        QCOMPARE(w.statusPanel->text(), "Selected cookbook version is " + shown + ", click Upgrade to start.");
    }

    void upgradeRunsWithTheWindowInItsRunningStateAndReturnsToRest() {
        const fs::path book = cookbookWithMarker("run.rcp", u"1.1");
        MainWindow w;
        w.show();
        answerDialog(q(book));
        w.cmdOpen->click();
        Answered success;
        bool exitDuring = true, upgradeDuring = true, browseDuring = true, barDuring = false, busyDuring = false;
        answerMessage(success, [&] {
            exitDuring = w.cmdExit->isEnabled();
            upgradeDuring = w.cmdUp->isEnabled();
            browseDuring = w.cmdOpen->isEnabled();
            barDuring = w.pBar->isVisible();
            busyDuring = QApplication::overrideCursor() != nullptr;
        });
        QTest::mouseClick(w.cmdUp, Qt::LeftButton);
        QVERIFY(success.text.startsWith("Upgrade successful! A backup copy of the original cookbook has been saved as \""));
        QCOMPARE(success.icon, QMessageBox::Information);
        QVERIFY(!exitDuring && !upgradeDuring && !browseDuring && barDuring && busyDuring);
        QVERIFY(w.cmdExit->isEnabled());
        QVERIFY(!w.cmdUp->isEnabled());
        QVERIFY(w.cmdOpen->isEnabled());
        QVERIFY(!w.pBar->isVisible());
        QCOMPARE(w.pBar->value(), 0);
        QVERIFY(w.LP->text().isEmpty());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(w.statusPanel->text(), QString("Done!"));
        QCOMPARE(w.tDb->text(), q(book));
        zestrel::dbFunction::OpenCookbook(book.u16string());
        QCOMPARE(zestrel::dbFunction::ReadCookbookVersion(), std::u16string(u"1.3"));
        zestrel::dbFunction::CloseCookbook();
        // Browsing the same cookbook again finds it up to date.
        answerDialog(q(book));
        Answered upToDate;
        answerMessage(upToDate);
        w.cmdOpen->click();
        QCOMPARE(upToDate.icon, QMessageBox::Warning);
    }

    // A cookbook given when the window starts (from a file manager or the desktop entry) is taken as
    // Browse takes the dialog's answer; no dialog comes up.
    void aCookbookGivenAtStartIsChosenAsBrowseChoosesIt() {
        const fs::path book = cookbookWithMarker("given.rcp", u"1.1");
        MainWindow w;
        w.show();
        w.form().chooseCookbook((dir_ / "given").u16string());  // the extension rule applies
        QCOMPARE(w.tDb->text(), q(book));
        QCOMPARE(w.form().sCookbookPath, book.u16string());
        QCOMPARE(w.form().sCookbookVersion, std::u16string(u"1.1"));
        QCOMPARE(w.statusPanel->text(), QString("Selected cookbook version is 1.1, click Upgrade to start."));
        QVERIFY(w.cmdUp->isEnabled());

        const fs::path current = currentWithMarker("current.rcp", u"1.3");
        MainWindow second;
        second.show();
        Answered warning;
        answerMessage(warning);
        second.form().chooseCookbook(current.u16string());
        QCOMPARE(warning.text, QString("This cookbook is already up to date. You don't need to upgrade it."));
        QVERIFY(second.tDb->text().isEmpty());
    }

    void enterAndSpacePressTheFocusedButton_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Enter") << int(Qt::Key_Enter);
        QTest::newRow("Space") << int(Qt::Key_Space);
    }

    void enterAndSpacePressTheFocusedButton() {
        QFETCH(int, key);
        MainWindow w;
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(w.cmdOpen->hasFocus());
        QString title;
        answerDialog(QString(), &title);  // Browse's dialog comes up, and is cancelled
        QTest::keyClick(w.cmdOpen, static_cast<Qt::Key>(key));
        QTRY_COMPARE(title, QString("Open Cookbook"));
        // Exit has the focus: the key closes the window.
        w.cmdExit->setFocus();
        QTest::keyClick(w.cmdExit, static_cast<Qt::Key>(key));
        QTRY_VERIFY(w.form().unloaded());
        for (QPushButton* b : {w.cmdOpen, w.cmdUp, w.cmdExit}) QVERIFY(!b->isDefault());
    }

    void theWindowTakesNoCommandWhileAnUpgradeRuns() {
        const fs::path book = cookbookWithMarker("busy.rcp", u"1.1");
        MainWindow w;
        w.show();
        answerDialog(q(book));
        w.cmdOpen->click();
        bool readOnly = false, upgradeEnabled = true, browseEnabled = true, checked = false;
        QString typed;
        // Runs at the first moment the upgrade lets the window handle events.
        QTimer::singleShot(0, [&] {
            readOnly = w.tDb->isReadOnly();
            w.tDb->setFocus();
            QTest::keyClicks(w.tDb, "x");
            typed = w.tDb->text();
            upgradeEnabled = w.cmdUp->isEnabled();
            browseEnabled = w.cmdOpen->isEnabled();
            w.form().cmdUp_Click();  // a click that reaches the form anyway is refused
            checked = true;
        });
        Answered success;
        answerMessage(success);
        QTest::mouseClick(w.cmdUp, Qt::LeftButton);
        QVERIFY(checked);
        QVERIFY(readOnly);
        QCOMPARE(typed, q(book));
        QVERIFY(!upgradeEnabled && !browseEnabled);
        QVERIFY(success.text.startsWith("Upgrade successful!"));
        QVERIFY(!w.tDb->isReadOnly());
        QVERIFY(fs::is_regular_file(dir_ / "Backup" / "busy_backup.rcp"));
        QVERIFY(!fs::exists(dir_ / "Backup" / "busy_backup_2.rcp"));
    }

    // Names and values are shown as they are: markup in a file name or a message is neither
    // rendered (no red heading, no image loaded) in a box, a label or the status bar.
    void everyTextIsPlainText() {
        QImage red(24, 24, QImage::Format_RGB32);
        red.fill(Qt::red);
        const fs::path image = dir_ / "red.png";
        QVERIFY(red.save(q(image)));
        const QString img = "<img src=\"" + q(image) + "\" width=24 height=24>";
        // A cookbook whose path holds a heading in red: "</font>" needs a folder of its own.
        fs::create_directories(dir_ / "<h1><font color=red>x<" / "font><");
        const fs::path marked = dir_ / "<h1><font color=red>x<" / "font><" / "h1>.rcp";
        std::ofstream(marked, std::ios::binary) << std::string(4096, 'Z');
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        int boxRed = -1;
        QStringList boxRich;
        answerDialog(q(marked));
        Answered warning;
        answerMessage(warning, [&] {
            auto* box = qobject_cast<QMessageBox*>(shownModal());
            boxRed = redPixels(textLabelOf(*box).grab().toImage());
            boxRich = richLabels(*box);
        });
        w.cmdOpen->click();
        QVERIFY(warning.text.contains("<h1><font color=red>x</font></h1>.rcp"));
        QCOMPARE(boxRed, 0);
        QVERIFY2(boxRich.isEmpty(), qPrintable(boxRich.join("; ")));
        // A failure whose message holds an image, in a box, the status bar and the percentage label.
        answerMessage(warning, [&] {
            auto* box = qobject_cast<QMessageBox*>(shownModal());
            boxRed = redPixels(textLabelOf(*box).grab().toImage());
            boxRich = richLabels(*box);
        });
        w.messageBox(u"3049 - The cookbook " + img.toStdU16String() + u" is damaged.", zestrel::platform::MsgIcon::Critical, u"");
        QVERIFY(warning.text.contains(img));
        QCOMPARE(boxRed, 0);
        QVERIFY2(boxRich.isEmpty(), qPrintable(boxRich.join("; ")));
        w.setStatusText(img.toStdU16String());
        w.setPercentCaption(u"<font color=red>100%</font>");
        QCOMPARE(w.statusPanel->text(), img);
        QCOMPARE(redPixels(w.grab().toImage()), 0);
        const QStringList windowRich = richLabels(w);
        QVERIFY2(windowRich.isEmpty(), qPrintable(windowRich.join("; ")));
        // The same markup as rich text does paint red: the measure sees it.
        QLabel rich("<font color=red><h1>XXXX</h1></font>" + img);
        rich.setTextFormat(Qt::RichText);
        QVERIFY(redPixels(rich.grab().toImage()) > 0);
    }

    // What the desktop is handed names the file byte for byte: a name that is not UTF-8 (Latin-1
    // from an old USB stick), blanks, "#", "%" and "?" included.
    void desktopAddressesNameTheFileByteForByte_data() {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("address");
        QTest::newRow("latin-1") << QByteArray("/tmp/caf\xe9.rcp") << QByteArray("file:///tmp/caf%E9.rcp");
        QTest::newRow("utf-8") << QByteArray("/tmp/Zo\xc3\xab.rcp") << QByteArray("file:///tmp/Zo%C3%AB.rcp");
        QTest::newRow("marks") << QByteArray("/tmp/a b#1%?.rcp") << QByteArray("file:///tmp/a%20b%231%25%3F.rcp");
    }

    void desktopAddressesNameTheFileByteForByte() {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, address);
        const QUrl url = zestrel::qt::localFileUrl(fs::path(path.toStdString()));
        QVERIFY(url.isValid());
        QCOMPARE(url.toEncoded(), address);
        QCOMPARE(url.path(QUrl::FullyEncoded).toLatin1(), QByteArray(address).mid(7));
    }

    // Upgrade on a cookbook whose copy changes values asks first: the list opens in the desktop's
    // viewer and the question comes back, Upgrade upgrades, and the success box's text can be
    // selected and offers the backup's folder.
    void thePreviewAsksAndTheSuccessBoxShowsTheBackup() {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "open");
        const fs::path book = changingCookbook("preview.rcp");
        const std::string original = readAll(book);
        MainWindow w;
        w.show();
        answerDialog(q(book));
        w.cmdOpen->click();
        Asked first, second, success;
        bool untouchedWhileAsked = false;
        answerQuestion(first, "Show the list", {}, [&] {
            answerQuestion(
                second, "Upgrade",
                [&] { untouchedWhileAsked = readAll(book) == original && !fs::exists(dir_ / "tempdb.mdb"); },
                [&] { answerQuestion(success, "Show the backup"); });
        });
        QTest::mouseClick(w.cmdUp, Qt::LeftButton);
        QCOMPARE(first.text, QString("The new layout will shorten or change 2 values in 2 recipes. The original stays "
                                     "in the backup either way."));
        QCOMPARE(first.answers, (QStringList{"Cancel", "Show the list", "Upgrade"}));
        QCOMPARE(first.format, Qt::PlainText);
        QCOMPARE(second.text, first.text);
        QVERIFY(untouchedWhileAsked);
        QVERIFY(success.text.startsWith("Upgrade successful!"));
        QCOMPARE(success.answers, (QStringList{"OK", "Show the backup"}));
        QVERIFY(success.interaction & Qt::TextSelectableByMouse);
        QVERIFY(success.interaction & Qt::TextSelectableByKeyboard);
        QCOMPARE(catcher.urls.size(), 2);
        QCOMPARE(catcher.urls[0], QUrl::fromLocalFile(q(dir_ / "preview_changes.txt")));
        QVERIFY(fs::is_regular_file(dir_ / "preview_changes.txt"));
        // No file manager on the session bus here: the Backup folder itself is opened.
        QCOMPARE(catcher.urls[1], QUrl::fromLocalFile(q(dir_ / "Backup")));
        QCOMPARE(readAll(dir_ / "Backup" / "preview_backup.rcp"), original);
        QDesktopServices::unsetUrlHandler("file");
    }

    void cancellingThePreviewChangesNothing() {
        const fs::path book = changingCookbook("cancelled.rcp");
        const std::string original = readAll(book);
        MainWindow w;
        w.show();
        answerDialog(q(book));
        w.cmdOpen->click();
        Asked asked;
        answerQuestion(asked, "Cancel");
        QTest::mouseClick(w.cmdUp, Qt::LeftButton);
        QCOMPARE(asked.answers, (QStringList{"Cancel", "Show the list", "Upgrade"}));
        QCOMPARE(readAll(book), original);
        QVERIFY(!fs::exists(dir_ / "tempdb.mdb"));
        QVERIFY(!fs::exists(dir_ / "Backup" / "cancelled_backup.rcp"));
        QVERIFY(w.cmdUp->isEnabled());
        QCOMPARE(w.statusPanel->text(), QString("Selected cookbook version is 1.1, click Upgrade to start."));
    }

    // Closing the window during an upgrade asks; a stop undoes the run and then closes the window.
    void closingDuringAnUpgradeAsksAndAStopUndoesIt() {
        const fs::path book = cookbookWithMarker("stopped.rcp", u"1.1");
        const std::string original = readAll(book);
        MainWindow w;
        w.show();
        answerDialog(q(book));
        w.cmdOpen->click();
        Asked asked;
        bool closedAtOnce = true;
        QTimer::singleShot(0, [&] {
            answerQuestion(asked, "Stop the upgrade");
            w.close();
            closedAtOnce = !w.isVisible();
        });
        QTest::mouseClick(w.cmdUp, Qt::LeftButton);
        QCOMPARE(asked.text, QString("An upgrade is running. Stop it? The cookbook stays as it was."));
        QVERIFY(!closedAtOnce);
        QTRY_VERIFY(!w.isVisible());
        QVERIFY(w.form().unloaded());
        QCOMPARE(readAll(book), original);
        QVERIFY(!fs::exists(dir_ / "tempdb.mdb"));
        QVERIFY(!fs::exists(dir_ / "Backup" / "stopped_backup.rcp"));
    }

    void closingTheWindowUnloadsTheForm() {
        MainWindow w;
        w.show();
        QVERIFY(!w.form().unloaded());
        w.close();
        QVERIFY(w.form().unloaded());
    }

    // Every status text the upgrade sets is painted before the work after it goes on, and Upgrade
    // is painted disabled before the first of them. Seen in the widgets' own paint events.
    void everyStatusTextIsPaintedAndUpgradeLooksDisabledAtOnce() {
        const fs::path book = cookbookWithMarker("painted.rcp", u"1.1");
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        answerDialog(q(book));
        w.cmdOpen->click();
        QApplication::processEvents();  // what Browse left to paint is painted before the recording
        PaintRecorder painted(w);
        Answered success;
        answerMessage(success);
        QTest::mouseClick(w.cmdUp, Qt::LeftButton);
        QVERIFY(success.text.startsWith("Upgrade successful!"));
        const QStringList expected{"Looking for values the new layout would change...", "Create temporary file...",
                                   "Copying data from old cookbook...", "Done copy data.", "Creating backup copy...",
                                   "Successful!", "Done!"};
        QStringList texts;  // each text painted, once however often it was painted
        for (const QString& text : painted.statusTexts)
            if (texts.isEmpty() || texts.back() != text) texts << text;
        QCOMPARE(texts, expected);
        // Upgrade was painted disabled, and before the first status text of the run.
        QVERIFY(painted.upgradeDisabledAt >= 0);
        QVERIFY(painted.firstStatusAt >= 0);
        QVERIFY(painted.upgradeDisabledAt < painted.firstStatusAt);
    }

    void aMarkerTheTablesBelieIsUpgradedAsTheTablesAreAndNothingIsLeft() {
        const fs::path book = cookbookWithMarker("other.rcp", u"1.0");
        MainWindow w;
        w.show();
        answerDialog(q(book));
        Answered warning;
        answerMessage(warning);
        w.cmdOpen->click();
        QCOMPARE(warning.icon, QMessageBox::Warning);
        QCOMPARE(warning.text, QString("The cookbook says 1.0, but its tables are those of 1.1. It is upgraded as a "
                                       "cookbook of 1.1."));
        Answered success;
        answerMessage(success);
        QTest::mouseClick(w.cmdUp, Qt::LeftButton);
        QVERIFY(success.text.startsWith("Upgrade successful!"));
        QCOMPARE(w.statusPanel->text(), QString("Done!"));
        QVERIFY(!fs::exists(dir_ / "tempdb.mdb"));
        QVERIFY(fs::is_regular_file(dir_ / "Backup" / "other_backup.rcp"));
        QVERIFY(w.cmdExit->isEnabled());
        QVERIFY(!w.cmdUp->isEnabled());
    }

    void aFailureIsReportedAndTheWindowRests() {
        const fs::path book = cookbookWithMarker("fail.rcp", u"1.1");
        fs::create_directories(dir_ / "failing");
        zestrel::platform::setProgramFolder(dir_ / "failing");
        std::ofstream(dir_ / "failing" / "Backup") << "a plain file";
        MainWindow w;
        w.show();
        answerDialog(q(book));
        w.cmdOpen->click();
        Answered failure;
        answerMessage(failure);
        QTest::mouseClick(w.cmdUp, Qt::LeftButton);
        zestrel::platform::setProgramFolder(dir_);
        QCOMPARE(failure.title, QString("Upgrade Version 1.1"));
        QCOMPARE(failure.icon, QMessageBox::Critical);
        QVERIFY(w.cmdExit->isEnabled());
        QVERIFY(!w.pBar->isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
