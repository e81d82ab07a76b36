#pragma once

#include <QString>

// Formulas reach the spreadsheet layer in Excel's form; LibreOffice's formula
// grammar, which XCell::setFormula reads, separates arguments with semicolons.
namespace CalcFormula {

// Turns the commas between arguments into semicolons; commas inside a text in
// double quotes stay. In an array constant ({1,2;3,4}) the commas between columns
// become semicolons and the semicolons between rows vertical bars.
QString fromExcel(const QString& formula);

}  // namespace CalcFormula
