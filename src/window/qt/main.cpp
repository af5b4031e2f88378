// zestrel-upgrade: the window program. Its manual page (data/linux/man) names every
// option of the --help text below; the test manual_pages checks that.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "platform/process_memory.h"
#include "window/frm_main.h"
#include "platform/number_text.h"
#include "window/qt/main_window.h"
#include "zestrel_version.h"

namespace {

constexpr const char* kHelp =
    "Upgrades a recipe cookbook (.rcp) of layout 1.0 or 1.1 to layout 1.3 in a window,\n"
    "keeping a backup of the original.\n"
    "\n"
    "Usage: zestrel-upgrade [OPTIONS] [FILE]\n"
    "\n"
    "Positionals:\n"
    "  FILE                        A cookbook to open at start, as if chosen with Browse\n"
    "\n"
    "Options:\n"
    "  -h,--help                   Print this help message and exit\n"
    "  --version                   Display program version information and exit\n"
    "  --screenshot PNG            Save a picture of the window once it is shown, and exit\n"
    "\n"
    "Environment:\n"
    "  ZESTREL_PROGRAM_FOLDER      The program's folder, which holds tempdb.mdb during an upgrade\n"
    "                              and the folder Backup with the original of every upgraded cookbook\n"
    "  XDG_DATA_HOME               Without ZESTREL_PROGRAM_FOLDER, the program's folder is\n"
    "                              $XDG_DATA_HOME/zestrel (by default ~/.local/share/zestrel)\n";

constexpr int kExitUsage = 2;

struct Arguments {
    std::optional<QString> file;
    std::optional<QString> screenshot;
};

int usageError(const std::string& message) {
    std::fprintf(stderr, "zestrel-upgrade: %s\nRun with --help for more information.\n", message.c_str());
    return kExitUsage;
}

// The arguments that QApplication has left; nothing else is accepted.
std::optional<int> parse(const QStringList& arguments, Arguments& into) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == "--screenshot") {
            if (i + 1 >= arguments.size()) return usageError("--screenshot needs a file name");
            into.screenshot = arguments.at(++i);
        } else if (argument.startsWith('-') && argument != "-") {
            return usageError("unknown option " + argument.toStdString());
        } else if (into.file) {
            return usageError("only one FILE can be opened");
        } else {
            into.file = argument;
        }
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    zestrel::platform::shareOneMemoryPool();
    // Answered before any window system is touched, so that they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("zestrel-upgrade %s\n", zestrel::kVersionText);
            return 0;
        }
    }
    QApplication app(argc, argv);
    zestrel::platform::useUserNumberFormat();
    QApplication::setApplicationName("Zestrel Cookbook Upgrade");
    QGuiApplication::setDesktopFileName("zestrel-upgrade");
    Arguments arguments;
    if (const auto failed = parse(QApplication::arguments(), arguments)) return *failed;

    zestrel::qt::MainWindow window;
    window.show();
    if (arguments.file) {
        const std::u16string path = QFileInfo(*arguments.file).absoluteFilePath().toStdU16String();
        QTimer::singleShot(0, &window, [&window, path] { window.form().chooseCookbook(path); });
    }
    if (arguments.screenshot) {
        QTimer::singleShot(300, &window, [&window, file = *arguments.screenshot] {
            window.grab().save(file);
            QApplication::quit();
        });
    }
    return QApplication::exec();
}
