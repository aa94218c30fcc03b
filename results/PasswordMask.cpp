#include "PasswordMask.h"

#include <QUrl>

#include <algorithm>

PasswordMask::PasswordMask(const QString &password)
{
    addForms(password);
}

PasswordMask PasswordMask::ofUrlText(const QString &text)
{
    PasswordMask mask;
    const qsizetype authority = text.indexOf(QLatin1String("//"));
    const qsizetype at = text.lastIndexOf(u'@');
    if (authority < 0 || at < authority)
        return mask;
    const qsizetype colon = text.indexOf(u':', authority + 2);
    if (colon < 0 || colon > at)
        return mask;
    // A reader that stops at the first '@' or '/' sees part of it as the
    // password: each such part is masked too.
    for (qsizetype end = colon + 1; end <= at; ++end)
        if (end == at || text[end] == u'@' || text[end] == u'/')
            mask.addForms(text.mid(colon + 1, end - colon - 1));
    return mask;
}

void PasswordMask::addForms(const QString &password)
{
    if (password.isEmpty())
        return;
    const QString decoded = QUrl::fromPercentEncoding(password.toUtf8());
    for (const QString &form :
        {password, decoded, QString::fromLatin1(QUrl::toPercentEncoding(decoded))})
        if (!form.isEmpty() && !m_forms.contains(form))
            m_forms << form;
    std::ranges::sort(
        m_forms, [](const QString &a, const QString &b) { return a.size() > b.size(); });
}

QString PasswordMask::apply(QString message) const
{
    for (const QString &form : m_forms)
        message.replace(form, QStringLiteral("***"));
    return message;
}
