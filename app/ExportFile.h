#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

class QByteArray;
class QObject;
class QPixmap;
class QWidget;

// How the windows' exports reach the disk: whole or not at all, a failure
// said in one line naming the file, and a save dialog that offers a dated
// name and leaves the acquisition reading while the operator picks one.
namespace ExportFile {

// A file is replaced whole or left as it was; `error` then names it and
// gives the system's reason.
bool save(const QString &path, const QByteArray &contents, QString *error);
bool savePicture(const QPixmap &picture, const QString &path, QString *error);

// "adtest-<what>-20261208-153012.<suffix>": one name per export and second,
// sorting by time.
QString defaultName(const QString &what, const QString &suffix,
    const QDateTime &when = QDateTime::currentDateTime());

using Saver = std::function<bool(const QString &path, QString *error)>;
// A window-modal save dialog without a nested event loop; `save` writes the
// file chosen, and its failure is shown in a message box.
void choose(QWidget *parent, const QString &title, const QString &filter, const QString &suffix,
    const QString &what, Saver save);

} // namespace ExportFile
