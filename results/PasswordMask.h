#pragma once

#include <QString>
#include <QStringList>

// Hides a password in messages: every form of it a message may quote (as
// typed, percent-decoded, percent-encoded) becomes "***", wherever it is,
// Qt's and the driver's own text included.
class PasswordMask
{
public:
    PasswordMask() = default;
    explicit PasswordMask(const QString &password);
    // The password of a database URL as typed, even one QUrl cannot read:
    // whatever stands between the first ':' after "//" and the last '@'.
    // That may take in more than the password, never less.
    static PasswordMask ofUrlText(const QString &text);

    QString apply(QString message) const;

private:
    void addForms(const QString &password);

    QStringList m_forms; // longest first
};
