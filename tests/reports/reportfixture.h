#pragma once

#include "tests/support/testdb.h"

#include <QAbstractItemModel>
#include <QSqlDatabase>
#include <QStringList>
#include <QTableView>
#include <algorithm>

// A few days of a small restaurant, the same on both engines: orders on several
// tables and waiters, open and settled, client and supplier credit rows,
// receipts of two suppliers, and corrections in the log.
namespace ReportFixture {

inline void write(QSqlDatabase db)
{
    TestDb::exec(db, QStringLiteral(
                         "insert into kerdzebi (Dasaxeleba, asagebi, gasayidi, tipi, raodenoba, momwodebeli) values "
                         "('მწვადი', 12, 30, 'მწვადები', 20, 'აგრო'), "
                         "('ღვინო', 9, 25, 'სასმელი', 40, 'ვაზი'), "
                         "('მწვადი ღორის', 14, 32, 'მწვადები', 10, 'აგრო')"));
    TestDb::exec(db, QStringLiteral(
                         "insert into OFICIANTI (Oficianti, mdgomareoba) values ('ნინო', 'აქტიური'), ('ანა', 'პასიური')"));
    // Order 42 has two waiters' lines; 44 is a table still open (no service rate yet).
    TestDb::exec(db, QStringLiteral(
                         "insert into Shekvetebi (Kerdzi_N, Kerdzi_DAS, AFASI, GFASI, Raodenoba, OFFICIANT, TableNum, USERNUM, "
                         "STATUSI, Tarigi, momsaxureoba) values "
                         "(1, 'მწვადი', 12, 30, 1, 'ნინო', 4, 41, 100, '2026-04-30', 10), "
                         "(1, 'მწვადი', 12, 30, 1.5, 'ნინო', 4, 42, 100, '2026-05-01', 10), "
                         "(2, 'ღვინო', 9, 25, 2, 'ანა', 4, 42, 100, '2026-05-01', 10), "
                         "(3, 'მწვადი ღორის', 14, 32, 1, 'ანა', 7, 43, 100, '2026-05-02', 10), "
                         "(2, 'ღვინო', 9, 25, 3, 'ნინო', 7, 44, 1, '2026-05-02', null), "
                         "(1, 'მწვადი', 12, 30, 2, 'ნინო', 9, 45, 100, '2026-05-03', 10)"));
    // Order 42 has two client rows (the first counts); the supplier's document
    // numbered 43 is no credit of order 43.
    TestDb::exec(db, QStringLiteral(
                         "insert into nisiebi (SN, FN, whois, nisia, shettanxa, tarigi, USERNUM) values "
                         "('', 'გიორგი', 'კლიენტი', 20.5, 0, '2026-05-01', '42'), "
                         "('201', 'აგრო', 'მომწოდებელი', 500, 0, '2026-05-02', '43'), "
                         "('', 'გიორგი', 'კლიენტი', 7, 0, '2026-05-01', '42'), "
                         "('', 'მარი', 'კლიენტი', 10.25, 0, '2026-05-02', '43'), "
                         "('', 'ლევანი', 'კლიენტი', 3, 0, '2026-04-30', '41')"));
    TestDb::exec(db, QStringLiteral(
                         "insert into migeba (ID_DAS, Dasaxeleba, asagebi, gasayidi, raodenoba, tipi, momwSN, momwFN, sab_n, tarigi) values "
                         "(1, 'მწვადი', 11, 30, 5, 'მწვადები', '201', 'აგრო', 'A-0', '2026-04-30'), "
                         "(1, 'მწვადი', 12, 30, 10, 'მწვადები', '201', 'აგრო', 'A-1', '2026-05-01'), "
                         "(2, 'ღვინო', 9, 25, 12, 'სასმელი', '305', 'ვაზი', 'B-7', '2026-05-01'), "
                         "(1, 'მწვადი', 12.5, 30, 4, 'მწვადები', '201', 'აგრო', 'A-2', '2026-05-02'), "
                         "(2, 'ღვინო', 9, 25, 6, 'სასმელი', '305', 'ვაზი', 'B-8', '2026-05-03')"));
    // A midnight is written as the bare day.
    TestDb::exec(db, QStringLiteral(
                         "insert into DELS (KERid, RAODENOBA, MAGIDA, SHEKVETISN, TARIGI, RAQNA, das) values "
                         "(1, 1, 4, 41, '2026-04-30 23:59:00', 'წაშლა', 'მწვადი'), "
                         "(1, 1, 4, 42, '2026-05-01 12:30:00', 'წაშლა', 'მწვადი'), "
                         "(2, 2, 4, 42, '2026-05-02 21:15:00', 'შეცვლა 3 -> 1', 'ღვინო'), "
                         "(2, 1, 7, 43, '2026-05-02 09:00:00', 'წაშლა', 'ღვინო'), "
                         "(1, 1, 9, 45, '2026-05-03', 'წაშლა', 'მწვადი')"));
}

// What a grid shows, a row a line with its cells joined by " | ", the lines
// sorted where the query has no order of its own.
inline QString gridText(const QTableView* grid, bool sorted)
{
    const QAbstractItemModel* m = grid->model();
    QStringList rows;
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < m->columnCount(); ++c)
            cells << m->index(r, c).data().toString();
        rows << cells.join(QStringLiteral(" | "));
    }
    if (sorted)
        std::sort(rows.begin(), rows.end());
    return rows.join(u'\n');
}

// Expected lines in the order gridText sorts them.
inline QString sortedLines(const QString& text)
{
    QStringList rows = text.split(u'\n', Qt::SkipEmptyParts);
    std::sort(rows.begin(), rows.end());
    return rows.join(u'\n');
}

}  // namespace ReportFixture
