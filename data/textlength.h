#pragma once

#include <QString>

// The writer's length rule for text columns, which screens also ask for an
// early refusal under the caption the person sees: a text's length as both
// engines count it (characters, not UTF-16 units or bytes).
namespace TextLength {

qsizetype length(const QString& text);
// The limit of `column` of `table` when `text` is longer than it holds; 0 when
// it fits or the column has no limit.
int overLimit(const QString& table, const QString& column, const QString& text);
// The refusal, naming the field.
QString tooLongText(const QString& caption, int limit, qsizetype length);

}  // namespace TextLength
