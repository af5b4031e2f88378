// Files handed to the desktop: a file opened in the program the desktop reads it with, and a file
// shown selected in the file manager. Linux names are bytes: the addresses carry them
// percent-encoded as they are, so that a name that is not UTF-8 still leads to its file.
#pragma once

#include <QUrl>

#include <filesystem>

namespace zestrel::qt {

// The file:// address of a local path, byte for byte.
QUrl localFileUrl(const std::filesystem::path& path);

// Opens the file in the desktop's program for it (a text file in its viewer).
void openWithDesktop(const std::filesystem::path& file);

// Asks the file manager (the freedesktop FileManager1 service on the session bus) to show the
// file selected in its folder; where no file manager answers, the folder is opened as any
// address is.
void showInFolder(const std::filesystem::path& file);

}  // namespace zestrel::qt
