#pragma once

#include <QHBoxLayout>
#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <QString>

// "<lead> [from] to [to] <unit> [whole]": the part of an axis the plots
// show, `apply` called on each change. The button restores the whole range
// the boxes allow, where the `to` box starts.
template<typename Box, typename Apply>
QHBoxLayout *spanRow(QObject *receiver, const QString &lead, Box *from, Box *to,
    const QString &unit, const QString &whole, Apply apply)
{
    const auto low = from->minimum();
    const auto high = to->maximum();
    to->setValue(high);
    auto *wholeButton = new QPushButton(whole);
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(lead));
    row->addWidget(from);
    row->addWidget(new QLabel(QStringLiteral("to")));
    row->addWidget(to);
    if (!unit.isEmpty())
        row->addWidget(new QLabel(unit));
    row->addWidget(wholeButton);
    row->addStretch();
    QObject::connect(from, &Box::valueChanged, receiver, apply);
    QObject::connect(to, &Box::valueChanged, receiver, apply);
    QObject::connect(wholeButton, &QPushButton::clicked, receiver, [from, to, low, high] {
        from->setValue(low);
        to->setValue(high);
    });
    return row;
}
