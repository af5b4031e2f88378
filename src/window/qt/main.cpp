// zestrel-upgrade: the window program. `--screenshot FILE` saves a picture of
// the window once it is shown, and ends.
#include <QApplication>
#include <QTimer>

#include "platform/number_text.h"
#include "window/qt/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    zestrel::platform::useUserNumberFormat();
    QApplication::setApplicationName("Zestrel Cookbook Upgrade");
    zestrel::qt::MainWindow window;
    window.show();
    const QStringList arguments = QApplication::arguments();
    const auto at = arguments.indexOf("--screenshot");
    if (at >= 0 && at + 1 < arguments.size()) {
        const QString file = arguments.at(at + 1);
        QTimer::singleShot(300, [&window, file] {
            window.grab().save(file);
            QApplication::quit();
        });
    }
    return QApplication::exec();
}
