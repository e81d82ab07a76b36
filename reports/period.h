#pragma once

#include <QDate>
#include <QString>

class QWidget;

// A report's period as the two date boxes give it.
namespace Period {

extern const QString EndsBeforeItStarts;

// Tells the person, after the (empty) list is shown, that the period ends
// before it starts; returns whether it did.
bool tellIfReversed(const QDate& start, const QDate& end, QWidget* parent);

}  // namespace Period
