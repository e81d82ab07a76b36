// The cook and waiter screens read from across the room, in the program's theme:
// every row as tall as the text it draws, every title and caption whole.

#include "shell/dbgrid.h"
#include "shell/linestates.h"
#include "shell/messages.h"
#include "shell/theme.h"
#include "app/kelvorau.h"
#include "data/clock.h"
#include "kitchen/cooktab.h"
#include "kitchen/waitertab.h"
#include "tests/support/globals.h"
#include "tests/support/screens.h"
#include "tests/support/testdb.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

const QDateTime Now(QDate(2026, 5, 2), QTime(20, 0));

// The font a grid draws a column's cells in.
QFont cellFont(const DBGrid* grid, int column)
{
    const DBGrid::CellLook* look = grid->cellLook(column);
    return look ? look->font : grid->font();
}

}  // namespace

class tst_servicescreens : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<TKelvora> m_main;

    DBGrid* grid(const QString& name) const { return m_main->findChild<DBGrid*>(name); }

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }
    void initTestCase() { QVERIFY(applyTheme(*qApp)); }

    void init()
    {
        Messages::intercept([](const QString&) { return true; });
        Clock::setFixed(Now);
        m_db = std::make_unique<TestDb>(TestDb::currentEngine());
        QSqlDatabase station = m_db->openStation(QStringLiteral("station_other"));
        TestDb::exec(station, QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values "
                                             "('სალომე წიკლაური-ხუციშვილი', 'აქტიური'), ('ნინო', 'აქტიური')"));
        TestDb::exec(station, QStringLiteral("insert into kerdzebi (ID, Dasaxeleba, tipi, gasayidi) values "
                                             "(1, 'ხინკალი', 'ცხელი', 1)"));
        TestDb::exec(station, QStringLiteral("insert into uplebebi (ganyofileba, povari) values ('ცხელი', 'ანა')"));
        // Names of two and three words, queued and taken, for both lists of the cook.
        int id = 0;
        for (const auto& [name, state] : {std::pair{"ხინკალი ქალაქური", LineState::Queued},
                                          std::pair{"ქათმის მწვადი ნიგვზით", LineState::Queued},
                                          std::pair{"ღორის მწვადი", LineState::Taken},
                                          std::pair{"ლობიო ქოთანში", LineState::Taken}}) {
            ++id;
            TestDb::exec(station, QStringLiteral("insert into Shekvetebi (ID, Kerdzi_N, Kerdzi_DAS, Raodenoba, "
                                                 "OFFICIANT, TableNum, USERNUM, STATUSI, povari, Tarigi, Starttime) "
                                                 "values (%1, 1, '%2', 12.5, 'სალომე წიკლაური-ხუციშვილი', 16, 9, "
                                                 "%3, 1, '2026-05-02', '2026-05-02 19:30:00')")
                                      .arg(id)
                                      .arg(QString::fromUtf8(name))
                                      .arg(int(state)));
        }
        m_main.reset(TKelvora::createWindows());
        m_main->resize(1366, 768);
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
    }

    void cleanup()
    {
        m_main.reset();
        m_db.reset();
        TestSupport::resetGlobals();
    }

    void rowsAndTitlesFitTheirFonts_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("grid");
        QTest::newRow("cook's queue") << 4 << QStringLiteral("DBGrid10");
        QTest::newRow("cook's work list") << 4 << QStringLiteral("DBGrid11");
        QTest::newRow("waiter's list") << 5 << QStringLiteral("DBGrid12");
    }

    void rowsAndTitlesFitTheirFonts()
    {
        QFETCH(int, tab);
        QFETCH(QString, grid);
        m_main->PageControl1->setCurrentIndex(tab);
        m_main->Timer1->stop();
        if (tab == 4) {
            m_main->cook->ComboBox11->setEditText(QStringLiteral("ანა"));
            QTest::mouseClick(m_main->cook->Button18, Qt::LeftButton);
            m_main->cook->Timer1Timer();
        } else {
            QTest::mouseClick(m_main->waiter->SpeedButton12, Qt::LeftButton);
        }
        DBGrid* g = this->grid(grid);
        QVERIFY(g);
        QTRY_VERIFY(g->isVisible());
        QCOMPARE(g->model()->rowCount(), 2 + 2 * (tab == 5));
        QCoreApplication::processEvents();  // rows fitted to their text

        QHeaderView* header = g->horizontalHeader();
        for (int c = 0; c < g->model()->columnCount(); ++c) {
            const QString title = g->model()->headerData(c, Qt::Horizontal).toString();
            const QFontMetrics titleMetrics(g->titleFont(c));
            QVERIFY2(header->sectionSize(c) >= titleMetrics.horizontalAdvance(title),
                     qPrintable(QStringLiteral("title %1: %2 < %3")
                                    .arg(title)
                                    .arg(header->sectionSize(c))
                                    .arg(titleMetrics.horizontalAdvance(title))));
            QVERIFY2(header->height() >= titleMetrics.height(), qPrintable(title));

            // Each cell's text, wrapped at its words, within its row.
            const QFontMetrics cell(cellFont(g, c));
            for (int r = 0; r < g->model()->rowCount(); ++r) {
                const QString text = g->model()->index(r, c).data().toString();
                const QRect room(0, 0, header->sectionSize(c) - 8, 10000);
                const QRect drawn = cell.boundingRect(room, Qt::TextWordWrap, text);
                QVERIFY2(g->rowHeight(r) >= cell.height(), qPrintable(QStringLiteral("row %1 of %2").arg(r).arg(title)));
                QVERIFY2(g->rowHeight(r) >= drawn.height() && drawn.width() <= room.width(),
                         qPrintable(QStringLiteral("'%1': %2x%3 in %4x%5")
                                        .arg(text)
                                        .arg(drawn.width())
                                        .arg(drawn.height())
                                        .arg(room.width())
                                        .arg(g->rowHeight(r))));
            }
        }
    }

    // The state a cook just set shows on the row at once, though the row stays
    // selected: the selection is a frame around the state colour.
    void changedRowShowsItsState()
    {
        m_main->PageControl1->setCurrentIndex(4);
        m_main->Timer1->stop();
        m_main->cook->ComboBox11->setEditText(QStringLiteral("ანა"));
        QTest::mouseClick(m_main->cook->Button18, Qt::LeftButton);
        m_main->cook->Timer1Timer();
        DBGrid* g = grid(QStringLiteral("DBGrid11"));
        QCOMPARE(g->model()->rowCount(), 2);
        Screens::clickCell(g, 0, 4);  // START
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
        QCOMPARE(g->currentIndex().row(), 0);
        QVERIFY(g->selectionModel()->isRowSelected(0, QModelIndex()));
        QCoreApplication::processEvents();
        const QImage shot = g->viewport()->grab().toImage();
        // Beside the centred quantity, and at the row's top edge.
        const QRect cell = g->visualRect(g->model()->index(0, 2));
        const QColor state = shot.pixelColor(cell.left() + 3, cell.center().y());
        QCOMPARE(state.name(), LineState::rowColour(LineState::Started).name());
        const QColor frame = shot.pixelColor(cell.left() + 3, cell.top() + 1);
        QCOMPARE(frame.name(), g->palette().color(QPalette::Active, QPalette::Highlight).name());
        // The row not selected has no frame.
        const QRect other = g->visualRect(g->model()->index(1, 2));
        QCOMPARE(shot.pixelColor(other.left() + 3, other.top() + 1).name(),
                 LineState::rowColour(LineState::Taken).name());
    }

    // Every caption of the countdown shows whole, in a button that keeps its width.
    void refreshCaptionWhole()
    {
        m_main->PageControl1->setCurrentIndex(4);
        m_main->Timer1->stop();
        QPushButton* refresh = m_main->cook->Button18;
        const int width = refresh->width();
        m_main->cook->resetCounter();
        for (int tick = 0; tick < 31; ++tick) {
            m_main->cook->Timer1Timer();
            QVERIFY2(refresh->sizeHint().width() <= refresh->width(), qPrintable(refresh->text()));
            QCOMPARE(refresh->width(), width);
        }
        QCOMPARE(refresh->text(), QStringLiteral("Refresh 30"));
    }

    // The count runs down to 0 and starts again, never below 0: ticking
    // alone, and after "Refresh" was pressed (its next tick re-reads).
    void countdownNeverBelowZero_data()
    {
        QTest::addColumn<bool>("pressed");
        QTest::newRow("ticking") << false;
        QTest::newRow("Refresh pressed") << true;
    }

    void countdownNeverBelowZero()
    {
        QFETCH(bool, pressed);
        QToolButton* tab = m_main->findChild<QToolButton*>(QStringLiteral("TabSheet10Tab"));
        QVERIFY(tab);
        QTest::mouseClick(tab, Qt::LeftButton);
        QCOMPARE(m_main->PageControl1->currentIndex(), 4);
        m_main->Timer1->stop();
        QPushButton* refresh = m_main->cook->Button18;
        m_main->cook->ComboBox11->setEditText(QStringLiteral("ანა"));
        m_main->cook->resetCounter();  // opening the tab pressed "Refresh" already
        if (pressed)
            QTest::mouseClick(refresh, Qt::LeftButton);
        int rereads = 0;
        int last = -1;
        for (int tick = 0; tick < 70; ++tick) {
            m_main->cook->Timer1Timer();
            const QString caption = refresh->text();
            QVERIFY2(caption.startsWith(QLatin1String("Refresh ")), qPrintable(caption));
            bool number = false;
            const int count = caption.mid(8).toInt(&number);
            QVERIFY2(number && count >= 0 && count <= 30, qPrintable(caption));
            if (count == 30)
                ++rereads;
            else if (last >= 0)
                QCOMPARE(count, last - 1);
            last = count;
        }
        QCOMPARE(rereads, pressed ? 3 : 2);
        // A re-read happened: the cook's work list is on screen.
        QCOMPARE(m_main->cook->DBGrid11->model()->rowCount(), 2);
    }

    // The waiter's boxes show their hints and the longest name whole, in their own large fonts.
    void waiterBoxesWhole()
    {
        m_main->PageControl1->setCurrentIndex(5);
        QComboBox* waiterBox = m_main->waiter->ComboBox8;
        QComboBox* tableBox = m_main->waiter->ComboBox10;
        QCOMPARE(waiterBox->lineEdit()->font().pixelSize(), 48);
        QCOMPARE(tableBox->lineEdit()->font().pixelSize(), 37);
        const auto fits = [](QComboBox* box, const QString& text) {
            const QFontMetrics fm(box->lineEdit()->font());
            return box->lineEdit()->width() >= fm.horizontalAdvance(text) + 4;
        };
        QVERIFY(fits(tableBox, QStringLiteral("მაგიდა")));
        QVERIFY(fits(waiterBox, QStringLiteral("ოფიციანტი")));
        QVERIFY(fits(waiterBox, QStringLiteral("სალომე წიკლაური-ხუციშვილი")));
        QVERIFY(fits(tableBox, QStringLiteral("100")));
    }
};

QTEST_MAIN(tst_servicescreens)
#include "tst_servicescreens.moc"
