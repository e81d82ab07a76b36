#include "admin/adminrules.h"
#include "admin/deletes.h"
#include "admin/parameterstab.h"
#include "shell/dbgrid.h"
#include "shell/forms.h"
#include "shell/messages.h"
#include "app/kelvorau.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "kitchen/waitertab.h"
#include "orders/orderentry.h"
#include "orders/shekveta.h"
#include "tests/support/orderwindow.h"
#include "tests/support/screens.h"
#include "tests/support/globals.h"
#include "tests/support/testdb.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

const QString Establishment = QStringLiteral("რესტორანი კელვორა");
const QString Nino = QStringLiteral("ნინო ბერიძე");
const QString Levan = QStringLiteral("ლევან ტაბიძე");
const QString Khachapuri = QStringLiteral("ხაჭაპური");

void fillRestaurant(QSqlDatabase db)
{
    TestDb::exec(db, QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values "
                                    "('ნინო ბერიძე', 'აქტიური'), ('ლევან ტაბიძე', 'აქტიური')"));
    TestDb::exec(db, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi, asagebi, gasayidi, raodenoba, prioriteti) values "
                                    "('ხაჭაპური', 'ცომეული', 4, 12.5, 10, 1), ('მწვადი', 'ცხელი', 9, 18, 20, 2), "
                                    "('Americano', 'სასმელები', 1, 5, 50, 3)"));
    TestDb::exec(db, QStringLiteral("insert into migeba (ID_DAS, Dasaxeleba, raodenoba, tarigi) values "
                                    "(1, 'ხაჭაპური', 10, '2026-05-01')"));
}

void addLines(QSqlDatabase db, const QList<int>& orderNumbers)
{
    for (int n : orderNumbers)
        TestDb::exec(db, QStringLiteral("insert into Shekvetebi (Kerdzi_N, Kerdzi_DAS, Raodenoba, GFASI, USERNUM, TableNum, STATUSI) "
                                        "values (1, 'ხაჭაპური', 1, 12.5, %1, 2, 100)")
                             .arg(n));
}

int count(QSqlDatabase db, const QString& sql)
{
    return TestDb::scalar(db, sql).toInt();
}

using Screens::column;

QStringList items(QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// Types text key by key, Georgian letters too.
void typeText(QWidget* w, const QString& text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// The editor the grid has open on its current cell.
QWidget* openEditor(DBGrid* grid, int row, int col)
{
    const QModelIndex index = grid->model()->index(row, col);
    if (grid->currentIndex().row() != row)
        Screens::clickCell(grid, row, col);
    grid->setCurrentIndex(index);
    grid->edit(index);
    QWidget* editor = grid->indexWidget(index);
    if (!editor) {
        for (QWidget* w : grid->viewport()->findChildren<QWidget*>())
            if (w->isVisible() && (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w))
                && w->parentWidget() == grid->viewport())
                editor = w;
    }
    return editor;
}

// Types `text` into a cell and confirms it with Enter (the row is saved).
void typeIntoCell(DBGrid* grid, int row, int col, const QString& text, bool enter = true)
{
    QWidget* editor = openEditor(grid, row, col);
    QVERIFY(editor);
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        if (box->isEditable())
            box->setEditText(text);
        else
            box->setCurrentIndex(box->findText(text));
    } else {
        auto* line = qobject_cast<QLineEdit*>(editor);
        QVERIFY(line);
        line->selectAll();
        typeText(line, text);
    }
    if (enter) {
        QTest::keyClick(editor, Qt::Key_Return);
    } else {
        // Committed without saving the row, as when the cell is left for another.
        QMetaObject::invokeMethod(grid, "commitData", Q_ARG(QWidget*, editor));
        QMetaObject::invokeMethod(grid, "closeEditor", Q_ARG(QWidget*, editor),
                                  Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
    }
    QCoreApplication::processEvents();
}

}  // namespace

class tst_parameterstab : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<TKelvora> m_main;
    QSqlDatabase m_station;
    ParametersTab* tab() const { return m_main->parameters; }
    TDM* dm() const { return forms().DM; }

    void start(const QString& establishment)
    {
        Setup::Settings settings;
        settings.establishment = establishment;
        settings.tables = 12;
        settings.servicePercent = 10;
        m_db = std::make_unique<TestDb>(TestDb::currentEngine(), settings);
        m_station = m_db->openStation(QStringLiteral("station_other"));
        fillRestaurant(m_station);
        m_main = OrderWindow::showMainWindow();
        m_main->resize(1366, 768);
        m_main->PageControl1->setCurrentIndex(3);
        QCoreApplication::processEvents();
        // Every walk through the editable grids runs under Qt's model checks.
        for (DBGrid* grid : {tab()->DBGrid1, tab()->DBGrid3})
            new QAbstractItemModelTester(grid->model(), QAbstractItemModelTester::FailureReportingMode::QtTest,
                                         grid->model());
    }

    // Types into the key box one keystroke at a time; the keystrokes after which
    // the maintenance window came up (it is closed again at once).
    QList<int> typeKey(const QList<Qt::Key>& keys, const QString& text)
    {
        QList<int> opened;
        for (int i = 0; i < keys.size(); ++i) {
            bool up = false;
            QTimer::singleShot(0, [&] {
                if (forms().Del->isVisible()) {
                    up = true;
                    forms().Del->reject();
                }
            });
            if (keys[i] == Qt::Key_unknown)
                typeText(tab()->Edit12, text.mid(i, 1));
            else
                QTest::keyClick(tab()->Edit12, keys[i]);
            QCoreApplication::processEvents();
            if (up)
                opened << i;
        }
        return opened;
    }

    // Opens the maintenance window with the key and runs `inside` while it is up.
    void withMaintenance(const std::function<void()>& inside)
    {
        bool ran = false;
        Screens::whenModal([&] {
            ran = true;
            inside();
        });
        tab()->Edit12->setText(QString());
        tab()->Edit12->setText(Establishment);
        QVERIFY(ran);
    }

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void init()
    {
        Messages::intercept([](const QString&) { return true; });
        Formats::setDecimalSeparator(u'.');
    }

    void cleanup()
    {
        TestSupport::closeStation(m_main, m_station, m_db);
    }

    void controlNames_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("expected");
        for (const char* name : {"GroupBox1", "DBGrid1", "Edit1", "Button4", "GroupBox2", "magraod", "mompr",
                                 "Button5", "GroupBox4", "Edit12", "SpeedButton13", "SpeedButton3", "Panel4",
                                 "DBGrid3", "Edit9", "ComboBox4", "Edit10", "Button9", "Button6"})
            QTest::newRow(name) << QStringLiteral("ParametersTab") << QString::fromLatin1(name);
        for (const char* name : {"CheckBox1", "CheckBox2", "CheckBox3", "Button1"})
            QTest::newRow(name) << QStringLiteral("TDel") << QString::fromLatin1(name);
    }
    void controlNames()
    {
        QFETCH(QString, window);
        QFETCH(QString, expected);
        start(Establishment);
        ParametersTab* p = tab();
        TDel* d = forms().Del;
        const QHash<QString, QObject*> members = {
            {QStringLiteral("GroupBox1"), p->GroupBox1}, {QStringLiteral("DBGrid1"), p->DBGrid1}, {QStringLiteral("Edit1"), p->Edit1}, {QStringLiteral("Button4"), p->Button4}, {QStringLiteral("GroupBox2"), p->GroupBox2}, {QStringLiteral("magraod"), p->magraod}, {QStringLiteral("mompr"), p->mompr}, {QStringLiteral("Button5"), p->Button5}, {QStringLiteral("GroupBox4"), p->GroupBox4}, {QStringLiteral("Edit12"), p->Edit12}, {QStringLiteral("SpeedButton13"), p->SpeedButton13}, {QStringLiteral("SpeedButton3"), p->SpeedButton3}, {QStringLiteral("Panel4"), p->Panel4}, {QStringLiteral("DBGrid3"), p->DBGrid3}, {QStringLiteral("Edit9"), p->Edit9}, {QStringLiteral("ComboBox4"), p->ComboBox4}, {QStringLiteral("Edit10"), p->Edit10}, {QStringLiteral("Button9"), p->Button9}, {QStringLiteral("Button6"), p->Button6}, {QStringLiteral("CheckBox1"), d->CheckBox1}, {QStringLiteral("CheckBox2"), d->CheckBox2}, {QStringLiteral("CheckBox3"), d->CheckBox3}, {QStringLiteral("Button1"), d->Button1}};
        QObject* member = members.value(expected);
        QVERIFY(member);
        QCOMPARE(member->objectName(), expected);
        // And found by that name inside its own window.
        QObject* owner = window == QStringLiteral("TDel") ? static_cast<QObject*>(d) : static_cast<QObject*>(p);
        QCOMPARE(owner->findChild<QObject*>(expected), member);
    }

    void tabLoad()
    {
        start(Establishment);
        QCOMPARE(column(tab()->DBGrid1, 0), (QStringList{Nino, Levan}));
        QCOMPARE(tab()->magraod->text(), QStringLiteral("12"));
        QCOMPARE(tab()->mompr->text(), QStringLiteral("10"));
        QCOMPARE(column(tab()->DBGrid3, 0).size(), 3);
        QCOMPARE(items(tab()->ComboBox4).size(), 3);
        QVERIFY(tab()->ComboBox4->currentText().isEmpty());
        // Narrowing while typing, and back to every item.
        typeText(tab()->Edit9, QStringLiteral("ხა"));
        QCOMPARE(column(tab()->DBGrid3, 0), QStringList{Khachapuri});
        tab()->Edit9->clear();
        QCOMPARE(column(tab()->DBGrid3, 0).size(), 3);
    }

    void addWaiterThenMakePassive()
    {
        start(Establishment);
        const QString zura = QStringLiteral("ზურა კაპანაძე");
        typeText(tab()->Edit1, zura);
        QTest::mouseClick(tab()->Button4, Qt::LeftButton);
        QCOMPARE(Messages::shown(), QStringList{zura + QStringLiteral(" გააქტიურებულია!!!")});
        QVERIFY(tab()->Edit1->text().isEmpty());
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from OFICIANTI where Oficianti = '%1' and mdgomareoba = 'აქტიური'").arg(zura)), 1);
        const int row = Screens::rowOf(tab()->DBGrid1, 0, zura);
        QVERIFY(row >= 0);

        // Offered for new orders from the next loading of the lists.
        m_main->Button3Click();
        QVERIFY(items(forms().shekvetebi->ComboBox1).contains(zura));

        // Passive through the grid's pick list; Enter saves the row.
        typeIntoCell(tab()->DBGrid1, row, 1, AdminRules::PassiveState);
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from OFICIANTI where Oficianti = '%1' and mdgomareoba = 'პასიური'").arg(zura)), 1);
        m_main->Button3Click();
        QVERIFY(!items(forms().shekvetebi->ComboBox1).contains(zura));
        QVERIFY(items(forms().shekvetebi->ComboBox1).contains(Nino));
        m_main->PageControl1->setCurrentIndex(5);
        QVERIFY(!items(m_main->waiter->ComboBox8).contains(zura));
        QVERIFY(items(m_main->waiter->ComboBox8).contains(Nino));
    }

    void waiterNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("added");
        QTest::newRow("empty box adds nothing") << QString() << false;
        QTest::newRow("blanks refused") << QStringLiteral("   ") << false;
        QTest::newRow("50 letters") << QString(50, QChar(u'ა')) << true;
        QTest::newRow("51 letters refused") << QString(51, QChar(u'ა')) << false;
        // Characters outside the basic plane count one each, as the writer counts them.
        const QString emoji = QString::fromUcs4(U"\U0001F600", 1);
        QTest::newRow("26 emoji") << emoji.repeated(26) << true;
        QTest::newRow("51 emoji refused") << emoji.repeated(51) << false;
    }
    void waiterNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, added);
        start(Establishment);
        tab()->Edit1->setText(name);
        QTest::mouseClick(tab()->Button4, Qt::LeftButton);
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from OFICIANTI")), added ? 3 : 2);
        QCOMPARE(tab()->DBGrid1->model()->rowCount(), added ? 3 : 2);
        const bool tooLong = name.toUcs4().size() > 50;
        const bool blank = !name.isEmpty() && name.trimmed().isEmpty();
        if (blank) {
            QCOMPARE(Messages::shown().size(), 1);
            QVERIFY2(Messages::shown().first().contains(QStringLiteral("„სახელი გვარი“ ცარიელი")),
                     qPrintable(Messages::shown().first()));
        }
        if (tooLong) {
            QCOMPARE(Messages::shown().size(), 1);
            QVERIFY2(Messages::shown().first().contains(QStringLiteral("სახელი გვარი")), qPrintable(Messages::shown().first()));
            QCOMPARE(tab()->Edit1->text(), name);  // kept for mending
        }
        // The same rules for a name typed in the grid (keys type one UTF-16 unit
        // each, so the grid is tried with letters of the basic plane).
        if ((tooLong || blank) && !name.front().isSurrogate()) {
            Messages::clearShown();
            typeIntoCell(tab()->DBGrid1, 0, 0, name);
            QCOMPARE(Messages::shown().size(), 1);
            QCOMPARE(count(m_station, QStringLiteral("select count(*) from OFICIANTI where Oficianti = '%1'").arg(Nino)), 1);
        }
    }

    void gridRowsWrittenOnMoveAppendedAndDeleted()
    {
        start(Establishment);
        DBGrid* grid = tab()->DBGrid1;
        // A changed row is written when another row is chosen.
        typeIntoCell(grid, 0, 0, QStringLiteral("ნინო ბერიძე-გელაშვილი"), false);
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from OFICIANTI where Oficianti = 'ნინო ბერიძე-გელაშვილი'")), 0);
        Screens::clickCell(grid, 1, 0);
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from OFICIANTI where Oficianti = 'ნინო ბერიძე-გელაშვილი'")), 1);

        // Enter on the grid saves a row whose cell was already closed.
        typeIntoCell(grid, 1, 0, QStringLiteral("ლევან ტაბიძე II"), false);
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from OFICIANTI where Oficianti = 'ლევან ტაბიძე II'")), 0);
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from OFICIANTI where Oficianti = 'ლევან ტაბიძე II'")), 1);

        // Down past the last row appends an empty row; filled and saved with Enter.
        Screens::clickCell(grid, 1, 0);
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->model()->rowCount(), 3);
        QTest::keyClick(grid, Qt::Key_Down);  // an untouched new row is not doubled
        QCOMPARE(grid->model()->rowCount(), 3);
        Screens::clickCell(grid, 2, 0, true);  // clicking into it keeps it
        QCOMPARE(grid->model()->rowCount(), 3);
        QTest::keyClick(grid, Qt::Key_Escape);
        typeIntoCell(grid, 2, 0, QStringLiteral("გია"));
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from OFICIANTI where Oficianti = 'გია'")), 1);

        // Ctrl+Delete asks first: No keeps the row, Yes deletes it.
        Messages::intercept([](const QString&) { return false; });
        Screens::clickCell(grid, 2, 0);
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(Messages::shown(), QStringList{AdminRules::DeleteRowQuestion});
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from OFICIANTI")), 3);
        Messages::intercept([](const QString&) { return true; });
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from OFICIANTI where Oficianti = 'გია'")), 0);
        QCOMPARE(grid->model()->rowCount(), 2);
    }

    void saveSettings_data()
    {
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("tables");
        QTest::addColumn<QString>("percent");
        QTest::addColumn<bool>("saved");
        QTest::newRow("16 and 12.5") << QChar(u'.') << QStringLiteral("16") << QStringLiteral("12.5") << true;
        QTest::newRow("16 and 12,5 with a comma") << QChar(u',') << QStringLiteral("16") << QStringLiteral("12,5") << true;
        QTest::newRow("bounds 1 and 0") << QChar(u'.') << QStringLiteral("1") << QStringLiteral("0") << true;
        QTest::newRow("bounds 500 and 100") << QChar(u'.') << QStringLiteral("500") << QStringLiteral("100") << true;
        QTest::newRow("no tables") << QChar(u'.') << QStringLiteral("0") << QStringLiteral("10") << false;
        QTest::newRow("501 tables") << QChar(u'.') << QStringLiteral("501") << QStringLiteral("10") << false;
        QTest::newRow("tables not whole") << QChar(u'.') << QStringLiteral("12.5") << QStringLiteral("10") << false;
        QTest::newRow("tables text") << QChar(u'.') << QStringLiteral("თორმეტი") << QStringLiteral("10") << false;
        QTest::newRow("percent over 100") << QChar(u'.') << QStringLiteral("16") << QStringLiteral("100.5") << false;
        QTest::newRow("percent negative") << QChar(u'.') << QStringLiteral("16") << QStringLiteral("-1") << false;
    }
    void saveSettings()
    {
        QFETCH(QChar, separator);
        QFETCH(QString, tables);
        QFETCH(QString, percent);
        QFETCH(bool, saved);
        Formats::setDecimalSeparator(separator);
        start(Establishment);
        tab()->magraod->setText(tables);
        tab()->mompr->setText(percent);
        QTest::mouseClick(tab()->Button5, Qt::LeftButton);
        const int storedTables = count(m_station, QStringLiteral("select Tables from Parametres"));
        const double storedPercent = TestDb::scalar(m_station, QStringLiteral("select momsaxureoba from Parametres")).toDouble();
        QCOMPARE(Messages::shown().size(), 1);
        if (saved) {
            QCOMPARE(Messages::shown().first(), QStringLiteral("შენახულია!!!"));
            QCOMPARE(storedTables, tables.toInt());
            QCOMPARE(storedPercent, *Formats::parseNumber(percent));
            // Used at once wherever the settings are read.
            QCOMPARE(dm()->setting->asFloat(QStringLiteral("momsaxureoba")), *Formats::parseNumber(percent));
        } else {
            QVERIFY(Messages::shown().first() != QStringLiteral("შენახულია!!!"));
            QCOMPARE(storedTables, 12);
            QCOMPARE(storedPercent, 10.0);
            QCOMPARE(dm()->setting->asFloat(QStringLiteral("momsaxureoba")), 10.0);
            QCOMPARE(dm()->setting->state(), NamedQuery::State::Browse);
        }
    }

    void emptySettingsBoxSavesNothing()
    {
        start(Establishment);
        tab()->mompr->clear();
        QTest::mouseClick(tab()->Button5, Qt::LeftButton);
        QVERIFY(Messages::shown().isEmpty());
        QCOMPARE(count(m_station, QStringLiteral("select Tables from Parametres")), 12);
    }

    void resetThenNewOrder_data()
    {
        QTest::addColumn<bool>("deleteSales");
        QTest::addColumn<int>("expected");
        QTest::newRow("with history") << false << 58;
        QTest::newRow("after the sales were deleted") << true << 1;
    }
    void resetThenNewOrder()
    {
        QFETCH(bool, deleteSales);
        QFETCH(int, expected);
        start(Establishment);
        addLines(m_station, {1, 2, 3, 57});
        TestDb::exec(m_station, QStringLiteral("update Parametres set inctb = 57"));
        if (deleteSales) {
            withMaintenance([] {
                forms().Del->CheckBox3->setChecked(true);
                QTest::mouseClick(forms().Del->Button1, Qt::LeftButton);
            });
            QCOMPARE(count(m_station, QStringLiteral("select count(*) from Shekvetebi")), 0);
        }
        QTest::mouseClick(tab()->SpeedButton13, Qt::LeftButton);
        QCOMPARE(Messages::shown(), QStringList{QStringLiteral("RESET")});
        QCOMPARE(count(m_station, QStringLiteral("select inctb from Parametres")), 0);
        QTest::mouseClick(tab()->SpeedButton13, Qt::LeftButton);  // twice stays at 0
        QCOMPARE(count(m_station, QStringLiteral("select inctb from Parametres")), 0);

        // A new order on table 5.
        dm()->kerdzebi->reopen({{QStringLiteral("das"), Khachapuri}, {QStringLiteral("tp"), "%"}});
        const OrderEntry::Result r = OrderEntry::addLine(*dm(), QStringLiteral("5"), Nino, QStringLiteral("1"));
        QVERIFY(r.newOrder);
        QCOMPARE(r.orderNumber, qint64(expected));
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from Shekvetebi where USERNUM = %1").arg(expected)), 1);
        QCOMPARE(count(m_station, QStringLiteral("select inctb from Parametres")), expected);
    }

    void keyOpensMaintenance_data()
    {
        QTest::addColumn<QString>("establishment");
        QTest::addColumn<QList<Qt::Key>>("keys");  // Key_unknown: the next character of `typed`
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("opensAt");
        const Qt::Key c = Qt::Key_unknown;
        QTest::newRow("the name, then more") << QStringLiteral("Kelv") << QList<Qt::Key>{c, c, c, c, c}
                                             << QStringLiteral("Kelvo") << QList<int>{3};
        QTest::newRow("case counts") << QStringLiteral("Kelv") << QList<Qt::Key>{c, c, c, c}
                                     << QStringLiteral("kelv") << QList<int>{};
        QTest::newRow("back to the name") << QStringLiteral("Kelv")
                                          << QList<Qt::Key>{c, c, c, c, c, Qt::Key_Backspace}
                                          << QStringLiteral("Kelvx") << QList<int>{3, 5};
        QTest::newRow("empty name: emptying the box") << QString() << QList<Qt::Key>{c, Qt::Key_Backspace}
                                                      << QStringLiteral("a") << QList<int>{1};
    }
    void keyOpensMaintenance()
    {
        QFETCH(QString, establishment);
        QFETCH(QList<Qt::Key>, keys);
        QFETCH(QString, typed);
        QFETCH(QList<int>, opensAt);
        start(establishment);
        QCOMPARE(tab()->Edit12->echoMode(), QLineEdit::Password);
        QCOMPARE(tab()->Edit12->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, tab()->Edit12), int(u'*'));
        QCOMPARE(typeKey(keys, typed), opensAt);
    }

    void maintenance_data()
    {
        QTest::addColumn<bool>("stock");
        QTest::addColumn<bool>("receipts");
        QTest::addColumn<bool>("sales");
        QTest::newRow("none only closes") << false << false << false;
        QTest::newRow("zero the stock") << true << false << false;
        QTest::newRow("delete receipts") << false << true << false;
        QTest::newRow("delete sales") << false << false << true;
        QTest::newRow("all three") << true << true << true;
    }
    void maintenance()
    {
        QFETCH(bool, stock);
        QFETCH(bool, receipts);
        QFETCH(bool, sales);
        start(Establishment);
        addLines(m_station, {4, 5});
        TestDb::exec(m_station, QStringLiteral("insert into busytable (TableNum, Busy, USERNUM) values (2, 1, 5)"));
        bool closed = false;
        withMaintenance([&] {
            TDel* d = forms().Del;
            d->CheckBox1->setChecked(stock);
            d->CheckBox2->setChecked(receipts);
            d->CheckBox3->setChecked(sales);
            QTest::mouseClick(d->Button1, Qt::LeftButton);
            closed = !d->isVisible();
            if (!closed)
                d->reject();
        });
        QVERIFY(closed);
        QVERIFY(Messages::shown().isEmpty());
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from kerdzebi where raodenoba <> 0")), stock ? 0 : 3);
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from migeba")), receipts ? 0 : 1);
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from Shekvetebi")), sales ? 0 : 2);
        // Nothing else is touched: the busy table stays busy, items and waiters stay.
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from busytable where Busy = 1 and USERNUM = 5")), 1);
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from kerdzebi")), 3);
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from OFICIANTI")), 2);
    }

    void maintenanceStopsAtAFailedStatement()
    {
        start(Establishment);
        addLines(m_station, {4});
        TestDb::exec(m_station, QStringLiteral("drop table migeba"));
        bool open = false;
        withMaintenance([&] {
            TDel* d = forms().Del;
            d->CheckBox1->setChecked(true);
            d->CheckBox2->setChecked(true);
            d->CheckBox3->setChecked(true);
            QTest::mouseClick(d->Button1, Qt::LeftButton);
            open = d->isVisible();
            d->reject();
        });
        QVERIFY(open);
        QCOMPARE(Messages::shown().size(), 1);  // the engine's text
        QVERIFY2(Messages::shown().first().contains(QStringLiteral("migeba"), Qt::CaseInsensitive),
                 qPrintable(Messages::shown().first()));
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from kerdzebi where raodenoba <> 0")), 0);  // ran before
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from Shekvetebi")), 1);                     // never ran
    }

    void supportProgram()
    {
        start(Establishment);
        // Not on the search path nor beside the executable here.
        QVERIFY(AdminRules::findSupportProgram(AdminRules::supportSearchFolders()).isEmpty());
        QTest::mouseClick(tab()->SpeedButton3, Qt::LeftButton);
        QCOMPARE(Messages::shown(), QStringList{AdminRules::supportMissingText()});
        QVERIFY(Messages::shown().first().contains(QStringLiteral("AA_v3.4.exe")));
        // It says where it looked, the program's own folder among them, and
        // that the remote-support program is to be installed there.
        const QString shown = Messages::shown().first();
        for (const QString& folder : AdminRules::supportSearchFolders())
            QVERIFY2(shown.contains(QDir::toNativeSeparators(folder)), qPrintable(folder));
        QVERIFY(shown.contains(QStringLiteral("„%1“").arg(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()))));
        QVERIFY(shown.contains(QStringLiteral("დააყენეთ დისტანციური დახმარების პროგრამა")));
    }

    void addItemWithNewType()
    {
        start(Establishment);
        typeText(tab()->Edit9, QStringLiteral("ტყემალი"));
        tab()->ComboBox4->setEditText(QStringLiteral("სოუსი"));
        typeText(tab()->Edit10, QStringLiteral("4,5"));  // the key filter makes it 4.5
        QCOMPARE(tab()->Edit10->text(), QStringLiteral("4.5"));
        QTest::mouseClick(tab()->Button9, Qt::LeftButton);
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'|')));
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from kerdzebi where Dasaxeleba = 'ტყემალი' and tipi = 'სოუსი' "
                                                 "and gasayidi = 4.5 and momwodebeli = 'მომწოდებლის გარეშე' "
                                                 "and asagebi is null and raodenoba is null and prioriteti is null")),
                 1);
        QVERIFY(tab()->Edit9->text().isEmpty());
        QVERIFY(tab()->Edit10->text().isEmpty());
        QVERIFY(tab()->ComboBox4->currentText().isEmpty());
        QCOMPARE(column(tab()->DBGrid3, 0).size(), 4);  // every item listed again
        QVERIFY(items(tab()->ComboBox4).contains(QStringLiteral("სოუსი")));
        // The grid's type column offers it at once.
        QVERIFY(dm()->typePickList().contains(QStringLiteral("სოუსი")));
        QWidget* editor = openEditor(tab()->DBGrid3, 0, 1);
        auto* pick = qobject_cast<QComboBox*>(editor);
        QVERIFY(pick);
        QVERIFY(items(pick).contains(QStringLiteral("სოუსი")));
        QTest::keyClick(editor, Qt::Key_Escape);
    }

    void refusedNewItems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("message");  // empty: any text naming the fault
        QTest::addColumn<int>("listed");       // rows the grid shows afterwards: the name box's narrowing
        QTest::newRow("no price") << QStringLiteral("ტყემალი") << QStringLiteral("სოუსი") << QString()
                                  << AdminRules::CheckFieldsText << 0;
        QTest::newRow("no type") << QStringLiteral("ტყემალი") << QString() << QStringLiteral("4")
                                 << AdminRules::CheckFieldsText << 0;
        QTest::newRow("no name") << QString() << QStringLiteral("სოუსი") << QStringLiteral("4")
                                 << AdminRules::CheckFieldsText << 3;
        QTest::newRow("name in use") << Khachapuri << QStringLiteral("ცომეული") << QStringLiteral("4")
                                     << AdminRules::DuplicateNameText << 1;
        QTest::newRow("A% is a pattern") << QStringLiteral("A%") << QStringLiteral("სასმელები") << QStringLiteral("4")
                                         << AdminRules::DuplicateNameText << 1;
        QTest::newRow("price not a number") << QStringLiteral("ტყემალი") << QStringLiteral("სოუსი") << QStringLiteral("4.5.1")
                                            << QString() << 0;
        QTest::newRow("name of 51") << QString(51, QChar(u'ბ')) << QStringLiteral("სოუსი") << QStringLiteral("4")
                                    << QString() << 0;
        QTest::newRow("type of 51") << QStringLiteral("ტყემალი") << QString(51, QChar(u'ბ')) << QStringLiteral("4")
                                    << QString() << 0;
    }
    void refusedNewItems()
    {
        QFETCH(QString, name);
        QFETCH(QString, type);
        QFETCH(QString, price);
        QFETCH(QString, message);
        QFETCH(int, listed);
        start(Establishment);
        tab()->Edit9->setText(name);
        tab()->ComboBox4->setEditText(type);
        tab()->Edit10->setText(price);
        QTest::mouseClick(tab()->Button9, Qt::LeftButton);
        QCOMPARE(Messages::shown().size(), 1);
        if (!message.isEmpty())
            QCOMPARE(Messages::shown().first(), message);
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from kerdzebi")), 3);
        QCOMPARE(dm()->kerdzebi->state(), NamedQuery::State::Browse);  // no half-made row waits to be saved
        QCOMPARE(tab()->DBGrid3->model()->rowCount(), listed);
        QCOMPARE(tab()->Edit9->text(), name);  // the boxes keep their text
        QCOMPARE(tab()->Edit10->text(), price);
    }

    void editInPlaceKeepsOthersSales()
    {
        start(Establishment);
        DBGrid* grid = tab()->DBGrid3;
        const int row = Screens::rowOf(grid, 0, Khachapuri);
        QVERIFY(row >= 0);
        // While the row is being edited another station sells two.
        typeIntoCell(grid, row, 0, QStringLiteral("ხაჭაპური აჭარული"), false);
        typeIntoCell(grid, row, 2, QStringLiteral("14.5"), false);
        TestDb::exec(m_station, QStringLiteral("update kerdzebi set raodenoba = raodenoba - 2 where ID = 1"));
        // Leaving the grid saves the row.
        QApplication::setActiveWindow(m_main.get());
        grid->setFocus();
        tab()->Edit10->setFocus();
        QCoreApplication::processEvents();
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'|')));
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from kerdzebi where ID = 1 and Dasaxeleba = 'ხაჭაპური აჭარული' "
                                                 "and gasayidi = 14.5 and raodenoba = 8")),
                 1);
        // The type column and the priority too.
        typeIntoCell(grid, row, 1, QStringLiteral("ცხელი"));
        typeIntoCell(grid, row, 3, QStringLiteral("7"));
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from kerdzebi where ID = 1 and tipi = 'ცხელი' and prioriteti = 7 and raodenoba = 8")), 1);
    }

    void refusedGridValues_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("typed");
        QTest::newRow("price not a number") << 2 << QStringLiteral("თორმეტი");
        QTest::newRow("priority not whole") << 3 << QStringLiteral("1.5");
        QTest::newRow("name of 51") << 0 << QString(51, QChar(u'ბ'));
        QTest::newRow("name of blanks") << 0 << QStringLiteral("   ");
        QTest::newRow("negative price") << 2 << QStringLiteral("-1");
    }
    void refusedGridValues()
    {
        QFETCH(int, col);
        QFETCH(QString, typed);
        start(Establishment);
        DBGrid* grid = tab()->DBGrid3;
        const int row = Screens::rowOf(grid, 0, Khachapuri);
        typeIntoCell(grid, row, col, typed);
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(dm()->kerdzebi->isModified(), false);
        QCOMPARE(count(m_station, QStringLiteral("select count(*) from kerdzebi where ID = 1 and Dasaxeleba = 'ხაჭაპური' "
                                                 "and gasayidi = 12.5 and prioriteti = 1")),
                 1);
    }

    // An item added in the grid's empty last row carries the "without supplier"
    // value, so the receiving tab lists it and it can be received.
    void anItemAddedInTheGridCanBeReceived()
    {
        start(Establishment);
        DBGrid* grid = tab()->DBGrid3;
        Screens::clickCell(grid, grid->model()->rowCount() - 1, 0);
        QTest::keyClick(grid, Qt::Key_Down);
        const int row = grid->model()->rowCount() - 1;
        typeIntoCell(grid, row, 0, QStringLiteral("ჩაშუშული"));
        typeIntoCell(grid, row, 1, QStringLiteral("ცხელი"));
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join('\n')));
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select momwodebeli from kerdzebi where Dasaxeleba = 'ჩაშუშული'"))
                     .toString(),
                 AdminRules::NoSupplier);
        dm()->kerdzebi2->reopen({{QStringLiteral("das"), QStringLiteral("ჩაშუშული")},
                                 {QStringLiteral("tp"), QStringLiteral("%")},
                                 {QStringLiteral("mom"), QStringLiteral("%")}});
        QCOMPARE(dm()->kerdzebi2->rowCount(), 1);
    }

    // A percent box takes either decimal separator, as the boxes with the key rule do.
    void theServicePercentTakesEitherSeparator_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("comma") << QStringLiteral("12,5");
        QTest::newRow("full stop") << QStringLiteral("12.5");
    }
    void theServicePercentTakesEitherSeparator()
    {
        QFETCH(QString, typed);
        Formats::setDecimalSeparator(u',');
        start(Establishment);
        tab()->mompr->setText(typed);
        QTest::mouseClick(tab()->Button5, Qt::LeftButton);
        QCOMPARE(Messages::shown(), QStringList{AdminRules::SavedText});
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select momsaxureoba from Parametres")).toDouble(), 12.5);
    }

    void concurrentEditRefused()
    {
        start(Establishment);
        DBGrid* grid = tab()->DBGrid3;
        const int row = Screens::rowOf(grid, 0, Khachapuri);
        // Another station changed the price since the catalogue was read.
        TestDb::exec(m_station, QStringLiteral("update kerdzebi set gasayidi = 13 where ID = 1"));
        typeIntoCell(grid, row, 2, QStringLiteral("15"));
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY2(Messages::shown().first().contains(QStringLiteral("სხვა სამუშაო ადგილიდან")), qPrintable(Messages::shown().first()));
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select gasayidi from kerdzebi where ID = 1")).toDouble(), 13.0);
        // The grid has read the row again.
        QCOMPARE(dm()->kerdzebi->state(), NamedQuery::State::Browse);
        QCOMPARE(grid->model()->index(Screens::rowOf(grid, 0, Khachapuri), 2).data().toString(), QStringLiteral("13.00"));
        // The same in the waiters grid, refused when the row is left.
        Messages::clearShown();
        TestDb::exec(m_station, QStringLiteral("update OFICIANTI set mdgomareoba = 'პასიური' where Oficianti = 'ნინო ბერიძე'"));
        typeIntoCell(tab()->DBGrid1, 0, 1, AdminRules::PassiveState, false);
        Screens::clickCell(tab()->DBGrid1, 1, 0);
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(dm()->oficianti->state(), NamedQuery::State::Browse);
    }
};

QTEST_MAIN(tst_parameterstab)
#include "tst_parameterstab.moc"
