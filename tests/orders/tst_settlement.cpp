#include "app/shell/forms.h"
#include "app/shell/messages.h"
#include "app/kelvorau.h"
#include "data/clock.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "floorplan/floorplan.h"
#include "orders/settlement.h"
#include "orders/konsignaciapas.h"
#include "orders/shekveta.h"
#include "orders/tanxis_gadaxda_winaswar.h"
#include "billing/billprintout.h"
#include "office/spreadsheet.h"
#include "data/datasource.h"
#include "tests/office/officetesting.h"
#include "tests/support/fiscalsim.h"
#include "tests/support/orderwindow.h"
#include "tests/support/screens.h"
#include "tests/support/testdb.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using Screens::whenModal;

class tst_settlement : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<TKelvora> m_main;
    QSqlDatabase m_station;
    bool m_answer = true;
    QTemporaryDir m_fiscal;  // the fiscal driver's command and answer files

    Tshekvetebi* order() const { return forms().shekvetebi; }

    // Table 4 holds order 42: lines worth 200 in all, still in the kitchen's hands.
    void fill()
    {
        TestDb::exec(m_station, QStringLiteral("update Parametres set COMMAND = '%1', ANSWER = '%2'")
                                    .arg(m_fiscal.filePath(QStringLiteral("command.txt")),
                                         m_fiscal.filePath(QStringLiteral("answer.txt"))));
        TestDb::exec(m_station, QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values ('ნინო', 'აქტიური')"));
        TestDb::exec(m_station, QStringLiteral("insert into busytable (TableNum, Busy, USERNUM, OFICIANT) "
                                               "values (4, 1, 42, 'ნინო')"));
        TestDb::exec(m_station, QStringLiteral(
                                    "insert into Shekvetebi (Kerdzi_N, Kerdzi_DAS, GFASI, Raodenoba, OFFICIANT, TableNum, "
                                    "USERNUM, STATUSI, povari, Tarigi) values "
                                    "(1, 'მწვადი', 30, 5, 'ნინო', 4, 42, 2, 1, '2026-05-02'), "
                                    "(2, 'ღვინო', 25, 2, 'ნინო', 4, 42, 0, 0, '2026-05-02'), "
                                    "(3, 'ხაჭაპური', 12, 1, 'ნინო', 5, 41, 1, 1, '2026-05-02')"));
    }

    void openTable(int table, const std::function<void()>& inside) { OrderWindow::openTable(m_main.get(), table, inside); }

    QList<QVariantList> lines(int order)
    {
        QSqlQuery q(m_station);
        q.exec(QStringLiteral("select STATUSI, momsaxureoba from Shekvetebi where USERNUM = %1 order by ID").arg(order));
        QList<QVariantList> out;
        while (q.next())
            out << QVariantList{q.value(0).toInt(), q.value(1).toDouble()};
        return out;
    }

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void init()
    {
        m_answer = true;
        Messages::intercept([this](const QString&) { return m_answer; });
        Formats::setDecimalSeparator(u'.');
        Clock::setFixed(QDateTime(QDate(2026, 5, 2), QTime(22, 40)));
        m_db = std::make_unique<TestDb>(TestDb::currentEngine());
        m_station = m_db->openStation(QStringLiteral("station_check"));
        fill();
        m_main = OrderWindow::showMainWindow();
        QVERIFY(m_main->isVisible());
    }

    void cleanup()
    {
        m_main.reset();
        m_station = QSqlDatabase();
        m_db.reset();
        Messages::stopIntercepting();
        Formats::setDecimalSeparator(QChar());
        Clock::setFixed(QDateTime());
    }

    void clearing_data()
    {
        QTest::addColumn<bool>("service");
        QTest::addColumn<double>("stamped");
        QTest::newRow("with service") << true << 10.0;
        QTest::newRow("without service") << false << 0.0;
    }
    void clearing()
    {
        QFETCH(bool, service);
        QFETCH(double, stamped);
        openTable(4, [&] {
            order()->CheckBox2->setChecked(service);
            QTest::mouseClick(order()->Button1, Qt::LeftButton);
            QVERIFY(!order()->isVisible());
        });
        order()->CheckBox2->setChecked(true);
        QCOMPARE(Messages::shown(), QStringList{QStringLiteral("ნამდვილად გსურთ სუფრის ალაგება?")});
        QCOMPARE(lines(42), (QList<QVariantList>{{100, stamped}, {100, stamped}}));
        QCOMPARE(lines(41), (QList<QVariantList>{{1, 0.0}}));  // another order untouched
        QSqlQuery row(m_station);
        row.exec(QStringLiteral("select Busy, USERNUM, GadaxdiliTanxa from busytable where TableNum = 4"));
        QVERIFY(row.next());
        QCOMPARE(row.value(0).toInt(), 0);
        QCOMPARE(row.value(1).toInt(), -1);
        QCOMPARE(row.value(2).toDouble(), 0.0);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select count(*) from nisiebi")).toInt(), 0);
        QVERIFY(!m_main->floorPlan->picture(4)->property("busy").toBool());
    }

    void answeringNoOrAnEmptyOrderClearsNothing()
    {
        m_answer = false;
        openTable(4, [&] { QTest::mouseClick(order()->Button1, Qt::LeftButton); });
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select Busy from busytable where TableNum = 4")).toInt(), 1);
        Messages::clearShown();
        openTable(6, [&] { QTest::mouseClick(order()->Button1, Qt::LeftButton); });
        QVERIFY(Messages::shown().isEmpty());  // no question for an empty order
    }

    void credit_data()
    {
        QTest::addColumn<bool>("withService");
        QTest::addColumn<double>("owed");
        QTest::newRow("with the service amount") << true << 220.0;
        QTest::newRow("without it") << false << 200.0;
    }
    void credit()
    {
        QFETCH(bool, withService);
        QFETCH(double, owed);
        openTable(4, [&] {
            QVERIFY(!order()->CheckBox1->isChecked());  // unticked each time the window opens
            order()->CheckBox1->setChecked(true);
            whenModal([&] {
                Tkonsignacia* d = forms().konsignacia;
                QCOMPARE(d->Label5->text(), QStringLiteral("42"));
                QCOMPARE(d->Label6->text(), QStringLiteral("200"));
                QCOMPARE(d->Label7->text(), QStringLiteral("220"));
                QVERIFY(d->CheckBox1->isChecked());
                d->Edit1->setText(QStringLiteral("გიორგი მაისურაძე"));
                d->CheckBox1->setChecked(withService);
                QTest::mouseClick(d->Button1, Qt::LeftButton);
            });
            QTest::mouseClick(order()->Button1, Qt::LeftButton);
        });
        QSqlQuery q(m_station);
        q.exec(QStringLiteral("select FN, whois, nisia, USERNUM, tarigi from nisiebi"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("გიორგი მაისურაძე"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("კლიენტი"));
        QCOMPARE(q.value(2).toDouble(), owed);
        QCOMPARE(q.value(3).toString(), QStringLiteral("42"));
        QCOMPARE(q.value(4).toDate(), QDate(2026, 5, 2));
        QVERIFY(!q.next());
        // The lines take the order window's service choice, not the credit's.
        QCOMPARE(lines(42), (QList<QVariantList>{{100, 10.0}, {100, 10.0}}));
    }

    void prepaymentReplacesAndClearingResetsIt()
    {
        auto prepay = [this](const QString& keys) {
            whenModal([keys] {
                TTANXIS_GADAXDA* d = forms().TANXIS_GADAXDA;
                d->Edit1->clear();
                QTest::keyClicks(d->Edit1, keys);
                QTest::mouseClick(d->Button1, Qt::LeftButton);
                if (d->isVisible())
                    d->reject();
            });
            QTest::mouseClick(order()->Button2, Qt::LeftButton);
        };
        openTable(4, [&] {
            prepay(QStringLiteral("50"));
            QCOMPARE(order()->DBText2->text(), QStringLiteral("50"));
            prepay(QStringLiteral("20,5"));
            QCOMPARE(order()->DBText2->text(), QStringLiteral("20.5"));
            prepay(QStringLiteral("."));  // refused: stays 20.5
            QCOMPARE(Messages::shown().size(), 1);
        });
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select GadaxdiliTanxa from busytable where TableNum = 4"))
                     .toDouble(),
                 20.5);
        openTable(4, [&] {
            QCOMPARE(order()->DBText2->text(), QStringLiteral("20.5"));
            QTest::mouseClick(order()->Button1, Qt::LeftButton);
        });
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select GadaxdiliTanxa from busytable where TableNum = 4"))
                     .toDouble(),
                 0.0);
    }
    // The bill through the shipped template on a real office, its total sent to
    // the driver simulator: once from the printer button without service, then
    // again when the table is cleared with service.
    void theBillIsPrintedByTheButtonAndAgainOnClearing()
    {
        QFile::remove(m_fiscal.filePath(QStringLiteral("journal.txt")));
        FiscalSim driver(m_fiscal.filePath(QStringLiteral("command.txt")), m_fiscal.filePath(QStringLiteral("answer.txt")),
                         m_fiscal.filePath(QStringLiteral("journal.txt")));
        QVERIFY(driver.isWatching());
        OfficeTesting::TestOffice office;
        OfficeTesting::RecordingOffice recording(office.office());
        setSpreadsheetApplication(&recording);
        setTemplateFolder(QFileInfo(OfficeTesting::shippedTemplate(BillPrintout::TemplateName)).absolutePath());
        const auto restore = qScopeGuard([] {
            setSpreadsheetApplication(nullptr);
            setTemplateFolder(QString());
        });

        openTable(4, [&] {
            QCOMPARE(order()->ComboBox1->currentText(), QStringLiteral("ნინო"));
            order()->CheckBox2->setChecked(false);
            QTest::mouseClick(order()->SpeedButton2, Qt::LeftButton);
            QVERIFY(!forms().DM->shekvetebi_s->controlsDisabled());  // the line grid released
            QCOMPARE(forms().DM->shekvet->recNo(), 1);               // on the last line
            QVERIFY(order()->isVisible());
            order()->CheckBox2->setChecked(true);
            QTest::mouseClick(order()->Button1, Qt::LeftButton);
        });
        const QString book = QStringLiteral("new ") + BillPrintout::TemplateName;
        QCOMPARE(recording.log, (QStringList{book, "print", "print", "close", book, "print", "print", "close"}));
        QCOMPARE(office.prints().size(), 4);
        QCOMPARE(driver.amounts(), (QStringList{"200.00", "220.00"}));

        QCOMPARE(office.shown().size(), 2);
        const OfficeTesting::Sheet first(office.shown()[0]);
        const OfficeTesting::Sheet second(office.shown()[1]);
        QVERIFY2(second.isValid(), qPrintable(second.error()));
        QCOMPARE(second.text(QStringLiteral("D3")), QStringLiteral("ნინო"));
        QCOMPARE(second.text(QStringLiteral("C6")), QStringLiteral("მწვადი"));
        QCOMPARE(second.text(QStringLiteral("C7")), QStringLiteral("ღვინო"));
        // Two lines: the footer starts at row 10.
        QCOMPARE(first.text(QStringLiteral("C11")), QStringLiteral("მომსახურება 0%"));
        QCOMPARE(first.text(QStringLiteral("E12")), QStringLiteral("200"));
        QCOMPARE(second.text(QStringLiteral("C11")), QStringLiteral("მომსახურება 10%"));
        QCOMPARE(second.text(QStringLiteral("E11")), QStringLiteral("20"));
        QCOMPARE(second.text(QStringLiteral("E12")), QStringLiteral("220"));
        QCOMPARE(second.text(QStringLiteral("E14")), QStringLiteral("შეკვეთა 42"));
        QCOMPARE(lines(42), (QList<QVariantList>{{100, 10.0}, {100, 10.0}}));
    }

    void anEmptyOrderPrintsNothing()
    {
        setTemplateFolder(QFileInfo(OfficeTesting::shippedTemplate(BillPrintout::TemplateName)).absolutePath());
        const auto restore = qScopeGuard([] { setTemplateFolder(QString()); });
        OfficeTesting::TestOffice office;
        OfficeTesting::RecordingOffice recording(office.office());
        setSpreadsheetApplication(&recording);
        const auto stop = qScopeGuard([] { setSpreadsheetApplication(nullptr); });
        openTable(6, [&] { QTest::mouseClick(order()->SpeedButton2, Qt::LeftButton); });
        QVERIFY(recording.log.isEmpty());
        QVERIFY(Messages::shown().isEmpty());
    }
};

QTEST_MAIN(tst_settlement)
#include "tst_settlement.moc"
