#pragma once

#include <QString>

// Texts that the database stores as values and that several rooms write or
// compare: one spelling for every station and every tool.
namespace StoredValues {

// OFICIANTI.mdgomareoba: a waiter who may take orders, and one who may not.
inline const QString ActiveWaiter = QStringLiteral("აქტიური");
inline const QString PassiveWaiter = QStringLiteral("პასიური");

// nisiebi.whois: whose debt a ledger row is.
inline const QString ClientSide = QStringLiteral("კლიენტი");
inline const QString SupplierSide = QStringLiteral("მომწოდებელი");

// kerdzebi.momwodebeli (and migeba.momwFN) of an item nobody delivers.
inline const QString NoSupplier = QStringLiteral("მომწოდებლის გარეშე");

// dels.RAQNA: what a correction did to an order line.
inline const QString LineDeleted = QStringLiteral("წაშლა");
inline const QString LineDecreased = QStringLiteral("შემცირდა");
inline const QString LineIncreased = QStringLiteral("გაიზარდა");

}  // namespace StoredValues
