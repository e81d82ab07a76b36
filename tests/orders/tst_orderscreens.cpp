// How the order window and its dialogs look and answer the keys, in the
// program's theme, on both engines.

#include "shell/dbgrid.h"
#include "shell/forms.h"
#include "shell/messages.h"
#include "shell/theme.h"
#include "app/kelvorau.h"
#include "data/formats.h"
#include "orders/konsignaciapas.h"
#include "orders/raodenobau.h"
#include "orders/tanxis_gadaxda_winaswar.h"
#include "orders/shekveta.h"
#include "tests/support/orderwindow.h"
#include "tests/support/screens.h"
#include "tests/support/globals.h"
#include "tests/support/testdb.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <algorithm>

using Screens::whenModal;

namespace {

// Types written in an order of their own, so that neither the order of writing
// nor an engine's grouping gives the sorted order by chance.
const QStringList Types = {
    QStringLiteral("ცხელი კერძები"),
    QStringLiteral("ბავშვის მენიუ"),
    QStringLiteral("სასმელები"),
    QStringLiteral("ხინკალი"),
    QStringLiteral("დესერტები"),
    QStringLiteral("ყავა და ჩაი"),
    QStringLiteral("მწვადი"),
    QStringLiteral("ღვინო"),
    QStringLiteral("ცომეული"),
    QStringLiteral("ავტორის კერძი"),
    QStringLiteral("სალათები"),
    QStringLiteral("ფირმის სპეციალობა"),
    QStringLiteral("ზღვის პროდუქტები"),
    QStringLiteral("ლუდი"),
    QStringLiteral("ჰამბურგერი"),
};

// The colour of a widget's rendered pixel.
QColor pixel(QWidget* w, QPoint at)
{
    return w->grab().toImage().pixelColor(at);
}

}  // namespace

class tst_orderscreens : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<TKelvora> m_main;
    QSqlDatabase m_station;

    Tshekvetebi* order() const { return forms().shekvetebi; }
    void openTable(int table, const std::function<void()>& inside) { OrderWindow::openTable(m_main.get(), table, inside); }

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void initTestCase() { QVERIFY(applyTheme(*qApp)); }

    void init()
    {
        Messages::intercept([](const QString&) { return true; });
        Formats::setDecimalSeparator(u'.');
        m_db = std::make_unique<TestDb>(TestDb::currentEngine());
        m_station = m_db->openStation(QStringLiteral("station_check"));
        TestDb::exec(m_station, QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values "
                                               "('ნინო', 'აქტიური'), ('ლევან', 'აქტიური'), "
                                               "('ალექსანდრე ჯაფარიძე-მესხიშვილი', 'აქტიური')"));
        int n = 0;
        for (const QString& type : Types)
            TestDb::exec(m_station, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi, asagebi, gasayidi, raodenoba) "
                                                   "values ('კერძი %1', '%2', 1, 2, 10)")
                                        .arg(++n)
                                        .arg(type));
        // Table 4 is busy with order 42 of Nino.
        TestDb::exec(m_station, QStringLiteral("insert into busytable (TableNum, Busy, USERNUM, OFICIANT) "
                                               "values (4, 1, 42, 'ნინო')"));
        TestDb::exec(m_station, QStringLiteral("insert into Shekvetebi (Kerdzi_N, Kerdzi_DAS, GFASI, Raodenoba, "
                                               "OFFICIANT, TableNum, USERNUM, STATUSI, povari, Tarigi) values "
                                               "(1, 'კერძი 1', 2, 1, 'ნინო', 4, 42, 0, 0, '2026-05-02')"));
        m_main = OrderWindow::showMainWindow();
        QVERIFY(m_main->isVisible());
    }

    void cleanup()
    {
        TestSupport::closeStation(m_main, m_station, m_db);
    }

    // Every station shows the type tabs in one order, whatever the engine.
    void typeTabsSortedOnBothEngines()
    {
        QStringList expected = Types;
        std::sort(expected.begin(), expected.end());
        expected.prepend(QStringLiteral("ყველა"));
        openTable(1, [&] {
            QStringList tabs;
            for (int i = 0; i < order()->TabControl1->count(); ++i)
                tabs << order()->TabControl1->tabText(i);
            QCOMPARE(tabs, expected);
        });
    }

    void enterSavesThePrepayment()
    {
        openTable(4, [&] {
            whenModal([] {
                TTANXIS_GADAXDA* d = forms().TANXIS_GADAXDA;
                d->Edit1->selectAll();
                QTest::keyClicks(d->Edit1, QStringLiteral("35.5"));
                QTest::keyClick(d->Edit1, Qt::Key_Return);
                const bool stayedOpen = d->isVisible();
                if (stayedOpen)
                    d->reject();
                QVERIFY2(!stayedOpen, "Enter did not save");
            });
            QTest::mouseClick(order()->Button2, Qt::LeftButton);
            QCOMPARE(order()->DBText2->text(), QStringLiteral("35.50"));
        });
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select GadaxdiliTanxa from busytable where TableNum = 4"))
                     .toDouble(),
                 35.5);
    }

    // The waiters' drop-down: rows high enough to read and hit, whole names.
    void waiterListReadable()
    {
        openTable(1, [&] {
            QComboBox* box = order()->ComboBox1;
            QCOMPARE(box->count(), 3);
            box->showPopup();
            QAbstractItemView* list = box->view();
            QTRY_VERIFY(list->isVisible());
            int widest = 0;
            for (int r = 0; r < box->count(); ++r) {
                const QRect row = list->visualRect(box->model()->index(r, 0));
                QVERIFY2(row.height() >= 28, qPrintable(QString::number(row.height())));
                widest = std::max(widest, list->fontMetrics().horizontalAdvance(box->itemText(r)));
            }
            QVERIFY2(list->viewport()->width() >= widest,
                     qPrintable(QStringLiteral("%1 < %2").arg(list->viewport()->width()).arg(widest)));
            box->hidePopup();
        });
    }

    // The order window by keyboard: on every opening the focus is in the name
    // filter, so typing filters the menu; Enter there, or on a menu row, opens
    // the quantity dialog as a double-click does.
    void orderByKeyboard_data()
    {
        QTest::addColumn<int>("table");
        QTest::newRow("free table") << 1;
        QTest::newRow("busy table") << 4;
    }

    void orderByKeyboard()
    {
        QFETCH(int, table);
        const auto lines = [&](const char* dish) {
            return TestDb::scalar(m_station, QStringLiteral("select count(*) from Shekvetebi where TableNum = %1 "
                                                            "and Kerdzi_DAS = '%2'")
                                                 .arg(table)
                                                 .arg(QString::fromUtf8(dish)))
                .toInt();
        };
        const auto answerQuantity = [] {
            whenModal([] {
                QTest::keyClicks(forms().Raodenoba->rao, QStringLiteral("2"));
                QTest::keyClick(forms().Raodenoba->rao, Qt::Key_Return);
                if (forms().Raodenoba->isVisible()) {
                    QTest::mouseClick(forms().Raodenoba->Button1, Qt::LeftButton);
                    if (forms().Raodenoba->isVisible())
                        forms().Raodenoba->reject();
                }
            });
        };
        for (int opening = 0; opening < 2; ++opening) {
            openTable(table, [&] {
                Tshekvetebi* w = order();
                // Where the window sends the keys once it is active.
                QTRY_COMPARE(w->focusWidget(), static_cast<QWidget*>(w->Edit1));
                // Typed key by key (keyClicks takes Latin-1 letters only).
                for (const QChar c : QStringLiteral("კერძი 12"))
                    QTest::sendKeyEvent(QTest::Click, w->focusWidget(), Qt::Key_unknown, QString(c), Qt::NoModifier);
                QCOMPARE(w->DBGrid1->model()->rowCount(), 1);
                answerQuantity();
                QTest::keyClick(w->Edit1, Qt::Key_Return);
                QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
                QCOMPARE(lines("კერძი 12"), opening + 1);

                // Enter on a row of the menu.
                const int row = Screens::rowOf(w->DBGrid1, 0, QStringLiteral("კერძი 3"));
                QVERIFY(row >= 0);
                w->DBGrid1->setFocus();
                w->DBGrid1->setCurrentIndex(w->DBGrid1->model()->index(row, 0));
                answerQuantity();
                QTest::keyClick(w->DBGrid1, Qt::Key_Return);
                QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
                QCOMPARE(lines("კერძი 3"), opening + 1);
            });
        }
    }

    // The waiter of a busy table is locked, and the box shows it.
    void lockedWaiterBoxLooksLocked()
    {
        QColor free;
        openTable(1, [&] {
            QVERIFY(order()->ComboBox1->isEnabled());
            free = pixel(order()->ComboBox1, QPoint(4, order()->ComboBox1->height() / 2));
        });
        openTable(4, [&] {
            QVERIFY(!order()->ComboBox1->isEnabled());
            const QColor locked = pixel(order()->ComboBox1, QPoint(4, order()->ComboBox1->height() / 2));
            QCOMPARE(free, QColor(Qt::white));
            QVERIFY2(locked != free, qPrintable(locked.name()));
            QVERIFY2(locked.lightness() < 240, qPrintable(locked.name()));
        });
    }

    // The menu's stock follows every line written, on the dish just ordered, the
    // type tab kept (the name filter is cleared after each line).
    void menuStockFollowsEachLine_data()
    {
        QTest::addColumn<QString>("type");  // the tab chosen; empty for "ყველა"
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("dish");
        QTest::newRow("whole menu") << QString() << QString() << QStringLiteral("კერძი 12");
        QTest::newRow("name typed") << QString() << QStringLiteral("კერძი 1") << QStringLiteral("კერძი 12");
        QTest::newRow("type tab") << Types.at(11) << QString() << QStringLiteral("კერძი 12");
    }

    void menuStockFollowsEachLine()
    {
        QFETCH(QString, type);
        QFETCH(QString, filter);
        QFETCH(QString, dish);
        openTable(1, [&] {
            Tshekvetebi* w = order();
            int tab = 0;
            for (int i = 1; !type.isEmpty() && i < w->TabControl1->count(); ++i)
                if (w->TabControl1->tabText(i) == type)
                    tab = i;
            w->TabControl1->setCurrentIndex(tab);
            w->Edit1->setText(filter);  // typed: the menu is filtered at each change
            for (const auto& [keys, left] : {std::pair{"3", "7"}, std::pair{"2.5", "4.5"}}) {
                const int row = Screens::rowOf(w->DBGrid1, 0, dish);
                QVERIFY2(row >= 0, qPrintable(dish));
                whenModal([keys = QString::fromLatin1(keys)] {
                    QTest::keyClicks(forms().Raodenoba->rao, keys);
                    QTest::mouseClick(forms().Raodenoba->Button1, Qt::LeftButton);
                    if (forms().Raodenoba->isVisible())
                        forms().Raodenoba->reject();
                });
                Screens::clickCell(w->DBGrid1, row, 0, true);
                QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
                QCOMPARE(w->TabControl1->currentIndex(), tab);
                QCOMPARE(w->Edit1->text(), QString());
                const int now = Screens::rowOf(w->DBGrid1, 0, dish);
                QCOMPARE(w->DBGrid1->currentIndex().row(), now);
                QCOMPARE(w->DBGrid1->model()->index(now, 2).data().toString(), QString::fromLatin1(left));
                QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select raodenoba from kerdzebi where Dasaxeleba = '%1'")
                                                       .arg(dish))
                             .toDouble(),
                         QString::fromLatin1(left).toDouble());
            }
        });
    }

    // The credit dialog has no title bar; its edge sets it off from the window behind.
    void creditDialogHasAnEdge()
    {
        Tkonsignacia* d = forms().konsignacia;
        QVERIFY(d->windowFlags() & Qt::FramelessWindowHint);
        const QImage image = d->grab().toImage();
        const QColor edge(0x0F, 0x55, 0x2E);
        for (const QPoint at : {QPoint(1, 1), QPoint(image.width() - 2, image.height() / 2),
                                QPoint(image.width() / 2, image.height() - 2)})
            QVERIFY2(image.pixelColor(at) == edge, qPrintable(image.pixelColor(at).name()));
        QVERIFY(image.pixelColor(image.width() / 2, 8) != edge);
    }
};

QTEST_MAIN(tst_orderscreens)
#include "tst_orderscreens.moc"
