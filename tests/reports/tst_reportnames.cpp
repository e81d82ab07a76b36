#include "shell/dbgrid.h"
#include "data/datamodule.h"
#include "reports/deletionsreport.h"
#include "reports/receivingreport.h"
#include "reports/salesreport.h"
#include "reports/warehousereport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

// Every control of the report tabs carries its member's name as its objectName,
// the name the other code and the tests find it by.
class tst_reportnames : public QObject
{
    Q_OBJECT

    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<SalesReport> m_sales;
    std::unique_ptr<ReceivingReport> m_receiving;
    std::unique_ptr<WarehouseReport> m_warehouse;
    std::unique_ptr<DeletionsReport> m_deletions;

private Q_SLOTS:
    void initTestCase()
    {
        m_dm = std::make_unique<TDM>();
        m_sales = std::make_unique<SalesReport>(m_dm.get());
        m_receiving = std::make_unique<ReceivingReport>(m_dm.get());
        m_warehouse = std::make_unique<WarehouseReport>(m_dm.get());
        m_deletions = std::make_unique<DeletionsReport>(m_dm.get());
    }

    void memberNames_data()
    {
        QTest::addColumn<QObject*>("member");
        QTest::addColumn<QString>("name");
        auto row = [](const char* window, QObject* member, const char* name) {
            QTest::addRow("%s.%s", window, name) << member << QString::fromLatin1(name);
        };
        SalesReport* s = m_sales.get();
        row("sales", s->LabeledEdit1, "LabeledEdit1");
        row("sales", s->mycom, "mycom");
        row("sales", s->ComboBox2, "ComboBox2");
        row("sales", s->ComboBox6, "ComboBox6");
        row("sales", s->DateTimePicker1, "DateTimePicker1");
        row("sales", s->DateTimePicker2, "DateTimePicker2");
        row("sales", s->Button7, "Button7");
        row("sales", s->SpeedButton6, "SpeedButton6");
        row("sales", s->DBGrid2, "DBGrid2");
        ReceivingReport* r = m_receiving.get();
        row("receiving", r->LabeledEdit2, "LabeledEdit2");
        row("receiving", r->ComboBox5, "ComboBox5");
        row("receiving", r->Edit11, "Edit11");
        row("receiving", r->DateTimePicker4, "DateTimePicker4");
        row("receiving", r->DateTimePicker5, "DateTimePicker5");
        row("receiving", r->Button10, "Button10");
        row("receiving", r->SpeedButton7, "SpeedButton7");
        row("receiving", r->Button11, "Button11");
        row("receiving", r->DBGrid6, "DBGrid6");
        WarehouseReport* w = m_warehouse.get();
        row("warehouse", w->LabeledEdit3, "LabeledEdit3");
        row("warehouse", w->ComboBox1, "ComboBox1");
        row("warehouse", w->ComboBox7, "ComboBox7");
        row("warehouse", w->Button12, "Button12");
        row("warehouse", w->SpeedButton8, "SpeedButton8");
        row("warehouse", w->Button13, "Button13");
        row("warehouse", w->DBGrid7, "DBGrid7");
        DeletionsReport* d = m_deletions.get();
        row("deletions", d->LabeledEdit6, "LabeledEdit6");
        row("deletions", d->ComboBox9, "ComboBox9");
        row("deletions", d->DateTimePicker6, "DateTimePicker6");
        row("deletions", d->DateTimePicker7, "DateTimePicker7");
        row("deletions", d->Button16, "Button16");
        row("deletions", d->SpeedButton5, "SpeedButton5");
        row("deletions", d->Button17, "Button17");
        row("deletions", d->DBGrid9, "DBGrid9");
    }

    void memberNames()
    {
        QFETCH(QObject*, member);
        QFETCH(QString, name);
        QVERIFY(member);
        QCOMPARE(member->objectName(), name);
    }
};

QTEST_MAIN(tst_reportnames)
#include "tst_reportnames.moc"
