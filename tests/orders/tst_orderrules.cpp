#include "tests/support/globals.h"
#include "shell/numerickeyfilter.h"
#include "data/formats.h"
#include "floorplan/floorplan.h"
#include "orders/shekveta.h"

#include <QLineEdit>
#include <QScrollArea>
#include <QTest>

// Rules of order taking that need no database: the total line's rounding, the
// numeric key filter and the floor plan's layout.
class tst_orderrules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { TestSupport::resetGlobals(); }

    void totalLine_data()
    {
        QTest::addColumn<double>("sum");
        QTest::addColumn<double>("percent");
        QTest::addColumn<bool>("withService");
        QTest::addColumn<QString>("shown");
        QTest::newRow("service on") << 100.0 << 10.0 << true << QStringLiteral("110");
        QTest::newRow("service off") << 100.0 << 10.0 << false << QStringLiteral("100");
        // Rounded once, halves away from zero: the bill, the fiscal driver and
        // the credit take the same amount.
        QTest::newRow("half away from zero, 0.125") << 0.125 << 10.0 << false << QStringLiteral("0.13");
        QTest::newRow("half away from zero, 0.135") << 0.135 << 10.0 << false << QStringLiteral("0.14");
        QTest::newRow("161 at 12.5 %: 181.125") << 161.0 << 12.5 << true << QStringLiteral("181.13");
        QTest::newRow("a half cent") << 0.005 << 12.5 << false << QStringLiteral("0.01");
        QTest::newRow("45.375") << 45.375 << 12.5 << false << QStringLiteral("45.38");
        QTest::newRow("13.574 shown 13.57") << 12.34 << 10.0 << true << QStringLiteral("13.57");
        QTest::newRow("no decimals") << 20.0 << 10.0 << true << QStringLiteral("22");
        QTest::newRow("empty order") << 0.0 << 10.0 << true << QStringLiteral("0");
        QTest::newRow("fractional percent") << 45.5 << 12.5 << true << QStringLiteral("51.19");
    }
    void totalLine()
    {
        QFETCH(double, sum);
        QFETCH(double, percent);
        QFETCH(bool, withService);
        QFETCH(QString, shown);
        Formats::setDecimalSeparator(u'.');
        QCOMPARE(Formats::shortest(Tshekvetebi::totalAmount(sum, percent, withService)), shown);
        Formats::setDecimalSeparator(u',');
        QCOMPARE(Formats::shortest(Tshekvetebi::totalAmount(sum, percent, withService)),
                 QString(shown).replace(u'.', u','));
    }

    void keyFilter_data()
    {
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        for (const QChar sep : {QChar(u'.'), QChar(u',')}) {
            const QString tag = sep == u'.' ? QStringLiteral("point: ") : QStringLiteral("comma: ");
            QTest::newRow(qPrintable(tag + QStringLiteral("comma typed")))
                << sep << QStringLiteral("2,5") << QStringLiteral("2") + sep + QStringLiteral("5");
            QTest::newRow(qPrintable(tag + QStringLiteral("point typed")))
                << sep << QStringLiteral("2.5") << QStringLiteral("2") + sep + QStringLiteral("5");
            QTest::newRow(qPrintable(tag + QStringLiteral("letters dropped")))
                << sep << QStringLiteral("a1b-2+") << QStringLiteral("12");
            QTest::newRow(qPrintable(tag + QStringLiteral("several separators pass")))
                << sep << QStringLiteral("1..2") << QStringLiteral("1") + sep + sep + QStringLiteral("2");
        }
    }
    void keyFilter()
    {
        QFETCH(QChar, separator);
        QFETCH(QString, keys);
        QFETCH(QString, text);
        Formats::setDecimalSeparator(separator);
        QLineEdit box;
        NumericKeyFilter::install(&box);
        QTest::keyClicks(&box, keys);
        QCOMPARE(box.text(), text);
        QTest::keyClick(&box, Qt::Key_Backspace);
        QCOMPARE(box.text(), text.left(text.size() - 1));
    }

    void keyFilterDropsWhatIsNoDigit()
    {
        QCOMPARE(NumericKeyFilter::filter(QChar(0x10D0)), QChar());  // a Georgian letter
        QCOMPARE(NumericKeyFilter::filter(u' '), QChar());
        QCOMPARE(NumericKeyFilter::filter(QChar(8)), QChar(8));
    }

    void floorPlanLayout_data()
    {
        QTest::addColumn<int>("areaWidth");
        QTest::addColumn<int>("table");
        QTest::addColumn<QPoint>("topLeft");
        QTest::newRow("first") << 1059 << 1 << QPoint(50, 5);
        QTest::newRow("ninth ends the first row") << 1059 << 9 << QPoint(8 * 110 + 50, 5);
        QTest::newRow("tenth starts the second row") << 1059 << 10 << QPoint(50, 105);
        QTest::newRow("narrow area: one per row") << 80 << 3 << QPoint(50, 205);
    }
    void floorPlanLayout()
    {
        QFETCH(int, areaWidth);
        QFETCH(int, table);
        QFETCH(QPoint, topLeft);
        QCOMPARE(FloorPlan::layoutPosition(table, areaWidth, 114), topLeft);
    }
};

QTEST_MAIN(tst_orderrules)
#include "tst_orderrules.moc"
