#include "shell/tabrows.h"

#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

// The main window's tabs as rows of buttons that wrap on a narrow window.
class tst_tabrows : public QObject
{
    Q_OBJECT

    struct Window
    {
        QWidget top;
        QTabWidget* tabs = nullptr;
        TabRows* rows = nullptr;

        Window()
        {
            auto* layout = new QVBoxLayout(&top);
            layout->setContentsMargins(0, 0, 0, 0);
            tabs = new QTabWidget(&top);
            tabs->setObjectName(QStringLiteral("PageControl1"));
            for (const char* caption : {"შეკვეთა", "მიღება", "რეპორტები", "პარამეტრები", "პოვარი", "ოფიციანტი"}) {
                auto* page = new QWidget(tabs);
                page->setObjectName(QString::fromUtf8(caption));
                tabs->addTab(page, QString::fromUtf8(caption));
            }
            layout->addWidget(tabs, 1);
            QFont font;
            font.setPixelSize(21);
            rows = new TabRows(tabs, font, &top);
            layout->addWidget(rows);
        }

        void showAt(int width)
        {
            top.resize(width, 500);
            top.show();
            QVERIFY(QTest::qWaitForWindowExposed(&top));
            QCoreApplication::processEvents();
        }
    };

private Q_SLOTS:
    void wrapsWhenNarrow_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("oneRow");
        QTest::newRow("wide") << 1920 << true;
        QTest::newRow("narrow") << 420 << false;
    }

    void wrapsWhenNarrow()
    {
        QFETCH(int, width);
        QFETCH(bool, oneRow);
        Window w;
        w.showAt(width);
        QVERIFY(!w.tabs->tabBar()->isVisible());
        QCOMPARE(w.rows->rowCount() == 1, oneRow);
        // Every tab stays whole on screen: none runs past the edge or hides another.
        for (int i = 0; i < w.tabs->count(); ++i) {
            const QRect r = w.rows->button(i)->geometry();
            QVERIFY2(r.right() < w.rows->width(), qPrintable(QString::number(i)));
            QVERIFY(r.bottom() < w.rows->height());
            QCOMPARE(r.width(), w.rows->button(i)->sizeHint().width());
            for (int j = 0; j < i; ++j)
                QVERIFY(!r.intersects(w.rows->button(j)->geometry()));
        }
    }

    void followsTheCurrentTab()
    {
        Window w;
        w.showAt(600);
        QVERIFY(w.rows->button(0)->isChecked());
        QTest::mouseClick(w.rows->button(3), Qt::LeftButton);
        QCOMPARE(w.tabs->currentIndex(), 3);
        w.tabs->setCurrentIndex(5);
        QVERIFY(w.rows->button(5)->isChecked());
        QVERIFY(!w.rows->button(3)->isChecked());
        QCOMPARE(w.rows->button(2)->text(), QStringLiteral("რეპორტები"));
    }
};

QTEST_MAIN(tst_tabrows)
#include "tst_tabrows.moc"
