// Showing a file in the desktop's file manager, selected.
#pragma once

#include <QString>
#include <QUrl>

namespace tidewell {

// Asks the file manager over D-Bus (org.freedesktop.FileManager1.ShowItems)
// to show `path` selected; when no session bus or no file manager answers
// within a short time, opens the containing folder instead. Never blocks.
void revealInFileManager(const QString& path);

// Opens the folder `path` itself in the file manager, the same way
// (org.freedesktop.FileManager1.ShowFolders, else the folder's URL).
void openFolderInFileManager(const QString& path);

// A file URL of `path`, ending in "/" exactly when it names a folder.
QUrl nodeFileUrl(const QString& path, bool isDirectory);

}  // namespace tidewell
