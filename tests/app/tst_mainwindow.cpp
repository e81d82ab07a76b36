#include "admin/parameterstab.h"
#include "shell/dbgrid.h"
#include "shell/forms.h"
#include "shell/messages.h"
#include "shell/theme.h"
#include "app/kelvorau.h"
#include "data/clock.h"
#include "data/connection.h"
#include "data/datamodule.h"
#include "floorplan/floorplan.h"
#include "kitchen/cooktab.h"
#include "orders/shekveta.h"
#include "reports/salesreport.h"
#include "tests/support/globals.h"
#include "reports/warehousereport.h"
#include "stock/receivingtab.h"
#include "tests/support/testdb.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QPalette>
#include <QStyleFactory>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <QToolButton>

namespace {

QStringList items(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

QStringList tabs(const QTabBar* bar)
{
    QStringList out;
    for (int i = 0; i < bar->count(); ++i)
        out << bar->tabText(i);
    return out;
}

void fillRestaurant(QSqlDatabase db)
{
    TestDb::exec(db, QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values "
                                    "('ნინო ბერიძე', 'აქტიური'), ('გიორგი კაპანაძე', 'პასიური'), "
                                    "('ლევან ტაბიძე', 'აქტიური')"));
    TestDb::exec(db, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi, gasayidi, raodenoba) values "
                                    "('ხაჭაპური', 'ცომეული', 12, 10), ('ლობიანი', 'ცომეული', 8, 10), "
                                    "('ლიმონათი', 'სასმელები', 3, 50)"));
    TestDb::exec(db, QStringLiteral("insert into uplebebi (ganyofileba, povari) values "
                                    "('ცომეული', 'მზარეული ანა'), ('ცხელი', 'მზარეული ბესო')"));
}

}  // namespace

class tst_mainwindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }
    void init()
    {
        Messages::intercept([](const QString&) { return true; });
        Clock::setFixed(QDateTime(QDate(2026, 3, 14), QTime(12, 30)));
    }
    void cleanup()
    {
        TestSupport::resetGlobals();
    }

    void startsWithTabsListsAndTables()
    {
        TestDb db(TestDb::currentEngine());
        fillRestaurant(db.openStation(QStringLiteral("station_a")));
        std::unique_ptr<TKelvora> w(TKelvora::createWindows());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));

        QCOMPARE(w->windowTitle(), QStringLiteral("Kelvora"));
        QCOMPARE(tabs(w->PageControl1->tabBar()),
                 (QStringList{QStringLiteral("შეკვეთა"), QStringLiteral("მიღება"), QStringLiteral("რეპორტები"),
                              QStringLiteral("პარამეტრები"), QStringLiteral("პოვარი"), QStringLiteral("ოფიციანტი")}));
        QCOMPARE(w->PageControl1->tabPosition(), QTabWidget::South);
        QCOMPARE(w->PageControl1->widget(4)->objectName(), QStringLiteral("TabSheet10"));
        QCOMPARE(tabs(w->PageControl2->tabBar()),
                 (QStringList{QStringLiteral("რეალიზაცია"), QStringLiteral("მიღება"), QStringLiteral("საწყობი"),
                              QStringLiteral("კონსიგნაცია"), QStringLiteral("წაშლები")}));
        QCOMPARE(w->PageControl1->currentIndex(), 0);

        // The windows exist once, in their order, with their captions.
        Forms& f = forms();
        QCOMPARE(f.Kelvora, w.get());
        QVERIFY(f.DM && f.Raodenoba && f.magidisshecvla && f.EditRaoden && f.konsignacia && f.Del
                && f.coock_menu && f.TANXIS_GADAXDA);
        QCOMPARE(f.shekvetebi->windowTitle(), QStringLiteral("შეკვეთა"));
        QCOMPARE(w->findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly).size(), 8);

        // Pick lists: the type tabs, active waiters for new orders, every waiter
        // and every table for the sales filter, an empty dish filter, the cooks.
        QStringList types = tabs(f.shekvetebi->TabControl1);
        QCOMPARE(types.takeFirst(), QStringLiteral("ყველა"));
        types.sort();
        QCOMPARE(types, (QStringList{QStringLiteral("სასმელები"), QStringLiteral("ცომეული")}));
        QCOMPARE(items(f.shekvetebi->ComboBox1),
                 (QStringList{QStringLiteral("ნინო ბერიძე"), QStringLiteral("ლევან ტაბიძე")}));
        QCOMPARE(items(w->sales->mycom).size(), 3);
        QCOMPARE(items(w->sales->ComboBox2).size(), 12);
        QCOMPARE(items(w->sales->ComboBox2).first(), QStringLiteral("1"));
        QCOMPARE(w->sales->ComboBox6->count(), 0);
        QStringList cooks = items(w->cook->ComboBox11);
        cooks.sort();  // in the query's order, which the engine chooses
        QCOMPARE(cooks, (QStringList{QStringLiteral("მზარეული ანა"), QStringLiteral("მზარეული ბესო")}));
        QCOMPARE(w->cook->ComboBox11->currentText(), QString());

        // The floor plan: one row per table, all free, twelve pictures.
        QSqlDatabase station = db.openStation(QStringLiteral("station_b"));
        QCOMPARE(TestDb::scalar(station, QStringLiteral("select count(*) from busytable")).toInt(), 12);
        QCOMPARE(TestDb::scalar(station, QStringLiteral("select count(*) from busytable where Busy = 0")).toInt(), 12);
        QCOMPARE(w->floorPlan->pictureCount(), 12);
        QVERIFY(w->floorPlan->picture(12));
        QCOMPARE(w->floorPlan->picture(12)->toolTip(), QStringLiteral("12"));
        QVERIFY(w->Timer1->isActive());
    }

    void tabChangesRunTheirLoadRoutines()
    {
        TestDb db(TestDb::currentEngine());
        fillRestaurant(db.openStation(QStringLiteral("station_a")));
        std::unique_ptr<TKelvora> w(TKelvora::createWindows());
        w->resize(1200, 700);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        TDM* dm = forms().DM;

        // Reports: always the sales tab, today in both pickers, the grid's widths.
        w->PageControl2->setCurrentIndex(4);
        w->sales->DateTimePicker1->setDate(QDate(2020, 1, 1));
        w->PageControl1->setCurrentIndex(2);
        QCOMPARE(w->PageControl2->currentIndex(), 0);
        QCOMPARE(w->sales->DateTimePicker1->date(), QDate(2026, 3, 14));
        QCOMPARE(w->sales->DateTimePicker2->date(), QDate(2026, 3, 14));
        QHeaderView* h = w->sales->DBGrid2->horizontalHeader();
        QCOMPARE(h->sectionSize(0), 100);
        QCOMPARE(h->sectionSize(1), (w->sales->DBGrid2->width() - 750) / 2);
        QCOMPARE(h->sectionSize(8), 100);
        QVERIFY(!w->Timer1->isActive());

        // Parameters: the catalogue lists every item, the settings boxes are filled.
        w->parameters->Edit9->setText(QStringLiteral("x"));
        w->PageControl1->setCurrentIndex(3);
        QVERIFY(dm->kerdzebi->isOpen());
        QCOMPARE(dm->kerdzebi->rowCount(), 3);
        QCOMPARE(w->parameters->Edit9->text(), QString());
        QCOMPARE(w->parameters->magraod->text(), QStringLiteral("12"));
        QCOMPARE(w->parameters->mompr->text(), QStringLiteral("10"));
        QStringList types = items(w->parameters->ComboBox4);
        types.sort();
        QCOMPARE(types, (QStringList{QStringLiteral("სასმელები"), QStringLiteral("ცომეული")}));

        // Cook: the counter restarts, the timer runs and the next tick re-reads.
        w->PageControl1->setCurrentIndex(4);
        QVERIFY(w->Timer1->isActive());
        QCOMPARE(w->cook->counter(), 30);

        // Order: the timer stops.
        w->PageControl1->setCurrentIndex(0);
        QVERIFY(!w->Timer1->isActive());
        QVERIFY(w->FormCloseQuery());
    }

    // Leaving Reports from another report tab and coming back shows the sales
    // page, and the tab row marks the sales tab, not the one left.
    void reportTabsFollowBackToSales_data()
    {
        QTest::addColumn<QString>("left");
        QTest::newRow("consignment") << QStringLiteral("TabSheet8Tab");
        QTest::newRow("deletions") << QStringLiteral("TabSheet9Tab");
    }

    void reportTabsFollowBackToSales()
    {
        QFETCH(QString, left);
        TestDb db(TestDb::currentEngine());
        fillRestaurant(db.openStation(QStringLiteral("station_a")));
        std::unique_ptr<TKelvora> w(TKelvora::createWindows());
        w->resize(1366, 768);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const auto tab = [&](const QString& name) {
            auto* b = w->findChild<QToolButton*>(name);
            if (!b)
                qFatal("no tab %s", qPrintable(name));
            return b;
        };
        QTest::mouseClick(tab(QStringLiteral("tabsheet2Tab")), Qt::LeftButton);
        QTest::mouseClick(tab(left), Qt::LeftButton);
        QVERIFY(tab(left)->isChecked());
        QTest::mouseClick(tab(QStringLiteral("TabSheet1Tab")), Qt::LeftButton);
        QCOMPARE(w->PageControl1->currentIndex(), 0);
        QTest::mouseClick(tab(QStringLiteral("tabsheet2Tab")), Qt::LeftButton);
        QCOMPARE(w->PageControl1->currentIndex(), 2);
        QCOMPARE(w->PageControl2->currentIndex(), 0);
        QVERIFY(w->TabSheet4->isVisible());
        QVERIFY(tab(QStringLiteral("TabSheet4Tab"))->isChecked());
        QVERIFY(!tab(left)->isChecked());
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
    }

    // Every list that drops down is read at arm's length: rows in a font of 19
    // pixels at the least (and no smaller than the box's), each row taller than
    // its letters reach and clear of the next, every entry whole.
    void dropDownsReadable_data()
    {
        QTest::addColumn<int>("page");    // of PageControl1
        QTest::addColumn<int>("report");  // of PageControl2, or -1
        QTest::addColumn<QString>("box");
        QTest::newRow("cook") << 4 << -1 << QStringLiteral("ComboBox11");
        QTest::newRow("sales waiter") << 2 << 0 << QStringLiteral("mycom");
        QTest::newRow("sales table") << 2 << 0 << QStringLiteral("ComboBox2");
        QTest::newRow("sales dish") << 2 << 0 << QStringLiteral("ComboBox6");
        QTest::newRow("warehouse type") << 2 << 2 << QStringLiteral("ComboBox7");
        QTest::newRow("warehouse supplier") << 2 << 2 << QStringLiteral("ComboBox1");
        QTest::newRow("catalogue type") << 3 << -1 << QStringLiteral("ComboBox4");
    }

    void dropDownsReadable()
    {
        QFETCH(int, page);
        QFETCH(int, report);
        QFETCH(QString, box);
        TestDb db(TestDb::currentEngine());
        QSqlDatabase station = db.openStation(QStringLiteral("station_a"));
        fillRestaurant(station);
        TestDb::exec(station, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi, gasayidi, raodenoba, momwodebeli) "
                                             "values ('ხინკალი ქალაქური ჩვენებური', 'ცხელი', 1, 9, 'ნიკორა')"));
        std::unique_ptr<TKelvora> w(TKelvora::createWindows());
        w->resize(1366, 768);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->PageControl1->setCurrentIndex(page);
        if (report >= 0)
            w->PageControl2->setCurrentIndex(report);
        w->Timer1->stop();
        QComboBox* combo = w->PageControl1->widget(page)->findChild<QComboBox*>(box);
        if (report >= 0)
            combo = w->PageControl2->widget(report)->findChild<QComboBox*>(box);
        QVERIFY(combo);
        if (box == QLatin1String("ComboBox6")) {  // the dish list fills as a name is typed
            combo->lineEdit()->setFocus();
            for (const QChar c : QStringLiteral("ხინ"))  // keyClicks takes Latin-1 letters only
                QTest::sendKeyEvent(QTest::Click, combo->lineEdit(), Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
        QVERIFY2(combo->count() > 0, qPrintable(box));

        combo->showPopup();
        QAbstractItemView* list = combo->view();
        QTRY_VERIFY(list->isVisible());
        const int pixels = QFontInfo(list->font()).pixelSize();
        QVERIFY2(pixels >= std::max(19, QFontInfo(combo->font()).pixelSize()), qPrintable(QString::number(pixels)));
        const QFontMetrics metrics(list->font());
        // The letters drawn are the list's: the ink of a row's text is as wide
        // as the text is in the list's font (a row drawn in a smaller font is narrower).
        QCoreApplication::processEvents();
        const QImage drawn = list->viewport()->grab().toImage();
        QStringList texts;
        for (int r = 0; r < combo->count(); ++r)
            texts << combo->itemText(r);
        int measured = 0;
        for (int r = 0; r < combo->count(); ++r) {
            const QString text = combo->itemText(r);
            const QRect row = list->visualRect(combo->model()->index(r, 0));
            // Short texts (table numbers) are left out: their letters' side
            // bearings make the ink narrower than the text's advance.
            if (text.size() < 4 || !drawn.rect().contains(row)
                || drawn.pixelColor(row.left() + 1, row.center().y()).lightness() < 200)
                continue;  // empty, out of sight or highlighted
            int left = row.right();
            int right = row.left();
            for (int y = row.top(); y <= row.bottom(); ++y)
                for (int x = row.left(); x <= row.right(); ++x)
                    if (drawn.pixelColor(x, y).lightness() < 128) {
                        left = std::min(left, x);
                        right = std::max(right, x);
                    }
            const int ink = right - left + 1;
            const int advance = metrics.horizontalAdvance(text);
            QVERIFY2(ink >= advance * 85 / 100 && ink <= advance * 110 / 100,
                     qPrintable(QStringLiteral("%1: ink %2, text %3").arg(text).arg(ink).arg(advance)));
            ++measured;
        }
        const bool anyLong = std::any_of(texts.cbegin(), texts.cend(), [](const QString& t) { return t.size() >= 4; });
        QVERIFY2(measured > 0 || !anyLong, "no row measured");
        int previousBottom = -1;
        for (int r = 0; r < combo->count(); ++r) {
            const QString text = combo->itemText(r);
            const QRect row = list->visualRect(combo->model()->index(r, 0));
            const int ink = std::max(metrics.height(), metrics.boundingRect(text).height());
            QVERIFY2(row.height() >= ink + 4, qPrintable(QStringLiteral("%1: %2 < %3").arg(text).arg(row.height()).arg(ink)));
            QVERIFY2(row.top() > previousBottom, qPrintable(text));
            previousBottom = row.bottom();
            QVERIFY2(list->viewport()->width() >= metrics.horizontalAdvance(text),
                     qPrintable(QStringLiteral("%1: %2 < %3")
                                    .arg(text)
                                    .arg(list->viewport()->width())
                                    .arg(metrics.horizontalAdvance(text))));
        }
        combo->hidePopup();
    }

    // Every list of the menu's types is in one order, the characters' order,
    // on both engines, whatever order the items were written and sold in.
    void typeListsInOneOrder()
    {
        TestDb db(TestDb::currentEngine());
        QSqlDatabase station = db.openStation(QStringLiteral("station_a"));
        fillRestaurant(station);
        TestDb::exec(station, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi, gasayidi, raodenoba) values "
                                             "('ხარჩო', 'ცხელი', 12, 20), ('მწვადი', 'მაყალი', 18, 9), "
                                             "('ჩაქაფული', 'ცხელი', 15, 5)"));
        TestDb::exec(station, QStringLiteral("update kerdzebi set raodenoba = raodenoba - 3 where Dasaxeleba = 'ხაჭაპური'"));
        const QStringList sorted{QStringLiteral("მაყალი"), QStringLiteral("სასმელები"), QStringLiteral("ცომეული"),
                                 QStringLiteral("ცხელი")};
        std::unique_ptr<TKelvora> w(TKelvora::createWindows());
        w->resize(1366, 768);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->PageControl1->setCurrentIndex(1);
        QCOMPARE(tabs(w->receiving->TabControl1), QStringList{QStringLiteral("ყველა")} + sorted);
        w->PageControl1->setCurrentIndex(3);
        QCOMPARE(items(w->parameters->ComboBox4), sorted);
        w->PageControl1->setCurrentIndex(2);
        w->PageControl2->setCurrentIndex(2);
        QCOMPARE(items(w->warehouseReport->ComboBox7), QStringList{QString()} + sorted);
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
    }

    // Enter in a field presses the button beside it; the button with the focus
    // shows it with an amber edge.
    void enterPressesTheButton_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("button");
        QTest::newRow("new waiter") << 3 << QStringLiteral("Edit1") << QStringLiteral("Button4");
        QTest::newRow("new item's name") << 3 << QStringLiteral("Edit9") << QStringLiteral("Button9");
        QTest::newRow("new item's type") << 3 << QStringLiteral("ComboBox4") << QStringLiteral("Button9");
        QTest::newRow("new item's price") << 3 << QStringLiteral("Edit10") << QStringLiteral("Button9");
        QTest::newRow("receiving quantity") << 1 << QStringLiteral("Edit4") << QStringLiteral("SpeedButton4");
        QTest::newRow("receiving price") << 1 << QStringLiteral("Edit6") << QStringLiteral("SpeedButton4");
        QTest::newRow("waiter screen's waiter") << 5 << QStringLiteral("ComboBox8") << QStringLiteral("SpeedButton12");
        QTest::newRow("waiter screen's table") << 5 << QStringLiteral("ComboBox10") << QStringLiteral("SpeedButton12");
    }

    void enterPressesTheButton()
    {
        QFETCH(int, page);
        QFETCH(QString, field);
        QFETCH(QString, button);
        // In the program's theme, which draws the focus; the others here run without it.
        const QString style = QApplication::style()->name();
        const QPalette palette = QApplication::palette();
        const auto plain = qScopeGuard([&] {
            qApp->setStyleSheet(QString());
            QApplication::setStyle(QStyleFactory::create(style));
            QApplication::setPalette(palette);
        });
        QVERIFY(applyTheme(*qApp));
        TestDb db(TestDb::currentEngine());
        QSqlDatabase station = db.openStation(QStringLiteral("station_a"));
        fillRestaurant(station);
        TestDb::exec(station, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi, gasayidi, raodenoba, momwodebeli) "
                                             "values ('ბორჯომი', 'სასმელები', 3, 40, 'ბორჯომი')"));
        std::unique_ptr<TKelvora> w(TKelvora::createWindows());
        w->resize(1366, 768);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->PageControl1->setCurrentIndex(page);
        w->Timer1->stop();
        QWidget* sheet = w->PageControl1->widget(page);
        QWidget* input = sheet->findChild<QWidget*>(field);
        auto* pressed = sheet->findChild<QAbstractButton*>(button);
        QVERIFY(input && pressed);
        if (auto* box = qobject_cast<QComboBox*>(input))
            input = box->lineEdit();
        if (page == 1) {  // a receiving line is entered for the item clicked in the list
            auto* list = sheet->findChild<DBGrid*>(QStringLiteral("DBGrid4"));
            QVERIFY(list && list->model()->rowCount() > 0);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualRect(list->model()->index(0, 0)).center());
            QVERIFY(pressed->isEnabled());
        }
        int clicks = 0;
        connect(pressed, &QAbstractButton::clicked, this, [&] { ++clicks; });
        input->setFocus();
        QTest::keyClicks(input, QStringLiteral("7"));
        QTest::keyClick(input, Qt::Key_Return);
        QCOMPARE(clicks, 1);
        QTest::keyClick(input, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(clicks, 2);

        // The amber edge with the focus, none without.
        const QColor amber(0xF2, 0xB6, 0x00);
        pressed->setFocus();
        QTRY_VERIFY(pressed->hasFocus());
        const QPoint edge(1, pressed->height() / 2);
        QCOMPARE(pressed->grab().toImage().pixelColor(edge * pressed->devicePixelRatio()).name(), amber.name());
        input->setFocus();
        QTRY_VERIFY(!pressed->hasFocus());
        QVERIFY(pressed->grab().toImage().pixelColor(edge * pressed->devicePixelRatio()) != amber);
    }

    // Without a usable data link the error is shown once; the window then says
    // so, no tab and no timer tries again, and the retry starts the program once
    // the database answers.
    void unreachableDatabaseShownOnceAndRetried_data()
    {
        QTest::addColumn<QByteArray>("udl");  // empty: no data link file at all
        QTest::addColumn<QString>("reason");  // a part of the error's text
        QTest::newRow("no data link file") << QByteArray() << QStringLiteral("kavshiri.udl");
        QTest::newRow("unknown provider") << QByteArray("[oledb]\r\nProvider=Oracle;Data Source=x\r\n")
                                          << QStringLiteral("Oracle");
        QTest::newRow("database file missing")
            << QByteArray("[oledb]\r\nProvider=SQLite;Data Source=nowhere.db\r\n") << QStringLiteral("nowhere.db");
    }

    void unreachableDatabaseShownOnceAndRetried()
    {
        QFETCH(QByteArray, udl);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kavshiri.udl"));
        if (!udl.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(udl);
        }
        Connection::setDataLinkPath(path);
        const auto restore = qScopeGuard([] {
            Connection::close();
            Connection::setDataLinkPath(QString());
        });
        std::unique_ptr<TKelvora> w(TKelvora::createWindows());
        w->resize(1366, 768);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY2(Messages::shown().first().contains(reason), qPrintable(Messages::shown().first()));

        QVERIFY(!w->isStarted());
        QVERIFY(w->databaseUnreachable->isVisible());
        QVERIFY(w->databaseUnreachableText->text().contains(QStringLiteral("მონაცემთა ბაზა მიუწვდომელია")));
        QVERIFY(w->databaseUnreachableText->text().contains(reason));
        QVERIFY(!w->PageControl1->isEnabled());
        QVERIFY(!w->Timer1->isActive());

        // Every tab, and a resize, tries nothing more.
        for (int tab = 1; tab < w->PageControl1->count(); ++tab)
            w->PageControl1->setCurrentIndex(tab);
        w->PageControl1->setCurrentIndex(2);
        w->PageControl2->setCurrentIndex(3);
        w->resize(1200, 700);
        QCoreApplication::processEvents();
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY(!w->Timer1->isActive());

        // A retry that fails again says so in the window, without another box.
        QTest::mouseClick(w->retryDatabase, Qt::LeftButton);
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY(w->databaseUnreachable->isVisible());

        // The database is there now: the retry starts the program.
        TestDb db(TestDb::currentEngine());
        fillRestaurant(db.openStation(QStringLiteral("station_a")));
        w->PageControl1->setCurrentIndex(0);
        QTest::mouseClick(w->retryDatabase, Qt::LeftButton);
        QVERIFY2(Messages::shown().size() == 1, qPrintable(Messages::shown().join(u'\n')));
        QVERIFY(w->isStarted());
        QVERIFY(!w->databaseUnreachable->isVisible());
        QVERIFY(w->PageControl1->isEnabled());
        QVERIFY(w->Timer1->isActive());
        QCOMPARE(w->floorPlan->pictureCount(), 12);
        QCOMPARE(forms().shekvetebi->ComboBox1->count(), 2);
        w->PageControl1->setCurrentIndex(3);
        QCOMPARE(forms().DM->kerdzebi->rowCount(), 3);
        QCOMPARE(Messages::shown().size(), 1);
    }
};

QTEST_MAIN(tst_mainwindow)
#include "tst_mainwindow.moc"
