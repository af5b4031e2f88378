#include "window/qt/desktop_files.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QStringList>

namespace zestrel::qt {

namespace {

constexpr int kFileManagerTimeout = 5000;  // milliseconds; a file manager starting up answers within it

// Whether the session's file manager took the request to show the file.
bool fileManagerShows(const QUrl& file) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                                       "org.freedesktop.FileManager1", "ShowItems");
    call << QStringList{file.toString(QUrl::FullyEncoded)} << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, kFileManagerTimeout);
    return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace

QUrl localFileUrl(const std::filesystem::path& path) {
    const std::string& bytes = path.native();
    const QByteArray encoded = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toPercentEncoding("/");
    return QUrl::fromEncoded("file://" + encoded, QUrl::StrictMode);
}

void openWithDesktop(const std::filesystem::path& file) { QDesktopServices::openUrl(localFileUrl(file)); }

void showInFolder(const std::filesystem::path& file) {
    if (fileManagerShows(localFileUrl(file))) return;
    QDesktopServices::openUrl(localFileUrl(file.parent_path()));
}

}  // namespace zestrel::qt
