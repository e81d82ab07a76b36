#include "shell/shared.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

class tst_shared : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ifisstring_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("empty") << QString() << QStringLiteral("%");
        QTest::newRow("blanks") << QStringLiteral("   ") << QStringLiteral("%");
        QTest::newRow("tab and blanks") << QStringLiteral(" \t ") << QStringLiteral("%");
        QTest::newRow("blanks kept") << QStringLiteral(" 5 ") << QStringLiteral(" 5 ");
        QTest::newRow("all is no wildcard") << QStringLiteral("ყველა") << QStringLiteral("ყველა");
        QTest::newRow("pattern as typed") << QStringLiteral("ხა%") << QStringLiteral("ხა%");
    }
    void ifisstring()
    {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QCOMPARE(::ifisstring(text), pattern);
    }

    void short_dat_data()
    {
        QTest::addColumn<QDateTime>("value");
        QTest::addColumn<QDateTime>("day");
        QTest::newRow("afternoon") << QDateTime(QDate(2018, 6, 8), QTime(13, 45))
                                   << QDateTime(QDate(2018, 6, 8), QTime(0, 0));
        QTest::newRow("last second") << QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59, 999))
                                     << QDateTime(QDate(2024, 12, 31), QTime(0, 0));
        QTest::newRow("midnight stays") << QDateTime(QDate(2020, 2, 29), QTime(0, 0))
                                        << QDateTime(QDate(2020, 2, 29), QTime(0, 0));
    }
    void short_dat()
    {
        QFETCH(QDateTime, value);
        QFETCH(QDateTime, day);
        QCOMPARE(::short_dat(value), day);
    }

    void resizegrid_data()
    {
        QTest::addColumn<int>("gridWidth");
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<int>("minwidth");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("two wide columns share the rest")
            << 700 << QList<int>{100, 64, 200, 300} << 130 << QList<int>{100, 64, 243, 243};
        QTest::newRow("every column narrow: nothing changes")
            << 700 << QList<int>{100, 64, 120} << 130 << QList<int>{100, 64, 120};
        QTest::newRow("no room beside the fixed columns")
            << 200 << QList<int>{100, 64, 200} << 130 << QList<int>{100, 64, 200};
        QTest::newRow("share of 4 or less changes nothing")
            << 222 << QList<int>{100, 64, 200, 300} << 130 << QList<int>{100, 64, 200, 300};
        QTest::newRow("width equal to minwidth is fixed")
            << 600 << QList<int>{130, 200} << 130 << QList<int>{130, 420};
    }
    void resizegrid()
    {
        QFETCH(int, gridWidth);
        QFETCH(QList<int>, widths);
        QFETCH(int, minwidth);
        QFETCH(QList<int>, expected);
        QTableView grid;
        QStandardItemModel model(1, int(widths.size()));
        grid.setModel(&model);
        grid.horizontalHeader()->setMinimumSectionSize(1);
        grid.resize(gridWidth, 200);
        for (int c = 0; c < widths.size(); ++c)
            grid.horizontalHeader()->resizeSection(c, widths[c]);
        ::resizegrid(&grid, minwidth);
        QList<int> actual;
        for (int c = 0; c < widths.size(); ++c)
            actual << grid.horizontalHeader()->sectionSize(c);
        QCOMPARE(actual, expected);
    }
};

QTEST_MAIN(tst_shared)
#include "tst_shared.moc"
