#include "ExportFile.h"

#include "AtomicFile.h"

#include <QBuffer>
#include <QFileDialog>
#include <QMessageBox>
#include <QPixmap>

namespace ExportFile {

bool save(const QString &path, const QByteArray &contents, QString *error)
{
    QString reason;
    if (writeFileAtomically(path, contents, &reason))
        return true;
    if (error)
        *error = QStringLiteral("Cannot write %1: %2.").arg(path, reason);
    return false;
}

bool savePicture(const QPixmap &picture, const QString &path, QString *error)
{
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG")) {
        if (error)
            *error = QStringLiteral("Cannot write %1: the picture could not be encoded as PNG.")
                         .arg(path);
        return false;
    }
    return save(path, png, error);
}

QString defaultName(const QString &what, const QString &suffix, const QDateTime &when)
{
    return QStringLiteral("adtest-%1-%2.%3")
        .arg(what, when.toString(QStringLiteral("yyyyMMdd-HHmmss")), suffix);
}

void choose(QWidget *parent, const QString &title, const QString &filter, const QString &suffix,
    const QString &what, Saver save)
{
    auto *dialog = new QFileDialog(parent, title, QString(), filter);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(suffix);
    dialog->selectFile(defaultName(what, suffix));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog,
        [parent, save = std::move(save)](const QString &path) {
            QString error;
            if (save(path, &error))
                return;
            auto *box = new QMessageBox(
                QMessageBox::Warning, QStringLiteral("Save"), error, QMessageBox::Ok, parent);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        });
    dialog->open();
}

} // namespace ExportFile
