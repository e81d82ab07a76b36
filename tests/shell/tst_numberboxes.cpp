// The number boxes' key rule: what is no number stays out, typed or pasted,
// while selecting, copying, cutting and pasting a number work as in any box.

#include "tests/support/globals.h"
#include "shell/numerickeyfilter.h"
#include "data/formats.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

class tst_numberboxes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { TestSupport::resetGlobals(); }

    void selectCopyCut()
    {
        Formats::setDecimalSeparator(u'.');
        QLineEdit box;
        NumericKeyFilter::install(&box);
        QTest::keyClicks(&box, QStringLiteral("12.5"));
        QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(box.selectedText(), QStringLiteral("12.5"));
        QApplication::clipboard()->clear();
        QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("12.5"));
        QCOMPARE(box.text(), QStringLiteral("12.5"));
        // Typing over the selection replaces it.
        QTest::keyClicks(&box, QStringLiteral("7"));
        QCOMPARE(box.text(), QStringLiteral("7"));
        QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&box, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(box.text(), QString());
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("7"));
        // Control letters never type their letter.
        QTest::keyClick(&box, Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(box.text(), QString());
    }

    void paste_data()
    {
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("text");  // the box after "1" and a paste
        QTest::newRow("digits") << QChar(u'.') << QStringLiteral("250") << QStringLiteral("1250");
        QTest::newRow("comma becomes the separator") << QChar(u'.') << QStringLiteral("2,5") << QStringLiteral("12.5");
        QTest::newRow("full stop becomes a comma") << QChar(u',') << QStringLiteral("2.5") << QStringLiteral("12,5");
        QTest::newRow("a letter refuses it all") << QChar(u'.') << QStringLiteral("2ა5") << QStringLiteral("1");
        QTest::newRow("letters") << QChar(u'.') << QStringLiteral("ათი") << QStringLiteral("1");
        QTest::newRow("a space") << QChar(u'.') << QStringLiteral("2 5") << QStringLiteral("1");
        QTest::newRow("a minus sign") << QChar(u'.') << QStringLiteral("-5") << QStringLiteral("1");
    }

    void paste()
    {
        QFETCH(QChar, separator);
        QFETCH(QString, clipboard);
        QFETCH(QString, text);
        Formats::setDecimalSeparator(separator);
        QLineEdit box;
        NumericKeyFilter::install(&box);
        QTest::keyClicks(&box, QStringLiteral("1"));
        QApplication::clipboard()->setText(clipboard);
        QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box.text(), text);
        QTest::keyClick(&box, Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(box.text(), text == QStringLiteral("1") ? text : text + text.mid(1));
    }

    void typedLettersStayOut()
    {
        Formats::setDecimalSeparator(u'.');
        QLineEdit box;
        NumericKeyFilter::install(&box);
        QTest::keyClicks(&box, QStringLiteral("1"));
        QTest::sendKeyEvent(QTest::Click, &box, Qt::Key_unknown, QStringLiteral("ა"), Qt::NoModifier);
        QTest::keyClicks(&box, QStringLiteral("2 b,5"));
        QCOMPARE(box.text(), QStringLiteral("12.5"));
    }
};

QTEST_MAIN(tst_numberboxes)
#include "tst_numberboxes.moc"
