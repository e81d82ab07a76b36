#pragma once

#include "shell/inputerror.h"
#include "data/storedvalues.h"

#include <QString>
#include <QStringList>
#include <QVariant>

// The rules of the parameters tab, apart from its widgets: the texts it shows
// and how a typed value is read or refused. A refused value throws InputError
// with its Georgian text before anything is written.
namespace AdminRules {

inline const QString& ActiveState = StoredValues::ActiveWaiter;
inline const QString& PassiveState = StoredValues::PassiveWaiter;
extern const QString ActivatedSuffix;                                    // after a new waiter's name
extern const QString SavedText;                                          // "შენახულია!!!"
extern const QString ResetText;                                          // "RESET"
inline const QString& CheckFieldsText = InputError::CheckAllFieldsText;  // an empty box of a new item
extern const QString DuplicateNameText;                                  // a new item's name already listed
inline const QString& NoSupplier = StoredValues::NoSupplier;             // the supplier of an item added here
extern const QString SupportLine;                                        // the read-only contacts line
extern const QString SupportProgram;                                     // "AA_v3.4.exe"
extern const QString DeleteRowQuestion;                                  // Ctrl+Delete in a grid

// The length of a text column of the schema (0 when it has none).
int columnLength(const char* table, const char* column);
// Refuses a text longer than its column, naming the field by its title.
void requireFits(const QString& text, const char* table, const char* column, const QString& fieldTitle);

// Refuses a name of nothing but spaces, naming the field by its title; returns the text.
QString requireName(const QString& text, const QString& fieldTitle);

// The table count: a whole number from 1 to 500.
int tableCount(const QString& text);
// The service percentage: a number from 0 to 100, either decimal separator.
double servicePercent(const QString& text);
// A sale price: a number not below zero, either decimal separator.
double price(const QString& text);
// An item's priority: a whole number, or empty for none.
QVariant priority(const QString& text);

// Where the remote-support program is looked for: the program search path, then
// the folder of the executable.
QStringList supportSearchFolders();
// The support program's full path in the first of `folders` that holds it, or empty.
QString findSupportProgram(const QStringList& folders);
// The text shown when it is in none of them.
QString supportMissingText();

}  // namespace AdminRules
