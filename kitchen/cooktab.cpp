#include "kitchen/cooktab.h"
#include "shell/pictures.h"
#include "shell/droplist.h"
#include "shell/dbgrid.h"
#include "shell/feedfollower.h"
#include "shell/linestates.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "shell/postorreread.h"
#include "data/clock.h"
#include "data/datamodule.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

CookTab::CookTab(TDM* dm, QWidget* parent)
    : QWidget(parent), m_dm(dm)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Panel13 = named(new QWidget(this), "Panel13");
    Panel13->setFixedHeight(41);
    auto* bar = new QHBoxLayout(Panel13);
    bar->setContentsMargins(2, 2, 2, 2);
    ComboBox11 = named(new QComboBox(Panel13), "ComboBox11");
    ComboBox11->setEditable(true);
    ComboBox11->setFixedWidth(144);
    ComboBox13 = named(new QComboBox(Panel13), "ComboBox13");
    ComboBox13->setEditable(true);
    ComboBox13->setFixedWidth(372);
    ComboBox12 = named(new QComboBox(Panel13), "ComboBox12");
    ComboBox12->setEditable(true);
    ComboBox12->setFixedWidth(435);
    for (QComboBox* box : {ComboBox11, ComboBox13, ComboBox12})
        readableDropDown(box);
    Button18 = named(new QPushButton(QStringLiteral("Refresh"), Panel13), "Button18");
    Button18->setFont(timesBold(13));
    // As wide as the widest caption of the countdown, so that none is clipped
    // and the button keeps its place while the numbers run down.
    int refreshWidth = 82;
    for (const QString& caption : {QStringLiteral("Refresh 30"), QStringLiteral("Refresh 0")}) {
        Button18->setText(caption);
        refreshWidth = std::max(refreshWidth, Button18->sizeHint().width());
    }
    Button18->setText(QStringLiteral("Refresh"));
    Button18->setFixedWidth(refreshWidth);
    SpeedButton10 = named(new QToolButton(Panel13), "SpeedButton10");
    SpeedButton10->setIcon(QIcon(cookPicture()));
    SpeedButton10->hide();
    SpeedButton11 = named(new QToolButton(Panel13), "SpeedButton11");
    SpeedButton11->setIcon(QIcon(flagPicture()));
    SpeedButton11->hide();
    bar->addWidget(ComboBox11);
    bar->addWidget(ComboBox13);
    bar->addStretch(1);
    bar->addWidget(ComboBox12);
    bar->addWidget(Button18);
    layout->addWidget(Panel13);

    Splitter2 = named(new QSplitter(Qt::Horizontal, this), "Splitter2");
    Splitter2->setHandleWidth(6);
    Splitter2->setStyleSheet(QStringLiteral("QSplitter::handle { background: red; }"));
    // The queue on Panel11 at the left, the work list on Panel12 beside it.
    Panel11 = named(new QWidget(Splitter2), "Panel11");
    Panel12 = named(new QWidget(Splitter2), "Panel12");
    DBGrid10 = named(new DBGrid(Panel11), "DBGrid10");
    DBGrid11 = named(new DBGrid(Panel12), "DBGrid11");
    for (auto [panel, grid] : {std::pair<QWidget*, DBGrid*>{Panel11, DBGrid10}, {Panel12, DBGrid11}}) {
        auto* fill = new QVBoxLayout(panel);
        fill->setContentsMargins(0, 0, 0, 0);
        fill->addWidget(grid);
        // Read from across the kitchen: whole names on as many lines as they
        // take, whole titles.
        grid->setRowsFitText(true);
        grid->setTitlesFit(true);
    }
    Splitter2->addWidget(Panel11);
    Splitter2->addWidget(Panel12);
    Splitter2->setSizes({529, 700});
    layout->addWidget(Splitter2, 1);

    // The queue: the grid's default colours.
    DBGrid10->setFont(timesBold(32));
    DBGrid10->horizontalHeader()->setFont(timesBold(21));
    DBGrid10->bind(dm->Povari_left_S, {{QStringLiteral("Kerdzi_DAS"), QStringLiteral("დასახელება")},
                                       {QStringLiteral("Raodenoba"), QStringLiteral("რაოდენობა")}});
    DBGrid10->horizontalHeader()->resizeSection(0, 374);
    DBGrid10->horizontalHeader()->resizeSection(1, 104);

    // The work list: rows in their state colours, the cook and flag pictures.
    DBGrid11->setFont(timesBold(48));
    DBGrid11->horizontalHeader()->setFont(timesBold(21));
    DBGrid11->setRowIndicator(true);
    DBGrid11->bind(dm->povari_right_s, {{QStringLiteral("Kerdzi_DAS"), QStringLiteral("დასახელება")},
                                        {QStringLiteral("OFFICIANT"), QStringLiteral("ოფიციანტი")},
                                        {QStringLiteral("Raodenoba"), QStringLiteral("რაოდენობა")},
                                        {QStringLiteral("TableNum"), QStringLiteral("მაგიდა")},
                                        {QString(), QStringLiteral("START")},
                                        {QString(), QStringLiteral("END")}});
    for (int c = 1; c <= 3; ++c)
        DBGrid11->setTitleFont(c, timesBold(13));
    const int widths[] = {192, 70, 70, 70, 100, 100};
    for (int c = 0; c < 6; ++c)
        DBGrid11->horizontalHeader()->resizeSection(c, widths[c]);
    DBGrid11->setCellFont(1, timesBold(13), Qt::AlignCenter);
    DBGrid11->setCellFont(2, timesBold(21), Qt::AlignCenter);
    DBGrid11->setCellFont(3, timesBold(13), Qt::AlignCenter);

    DBGrid11->rowBrush = [dm](int row) {
        NamedQuery* q = dm->povari_right;
        return QBrush(LineState::rowColour(
            q->valueAt(row, q->fieldIndex(QStringLiteral("STATUSI"))).toInt()));
    };
    m_cook = cookPicture();
    m_flag = flagPicture();
    DBGrid10->drawColumnCell = [this](QPainter* p, const QRect& rect, int row, int column) {
        DBGrid10DrawColumnCell(p, rect, row, column);
    };
    DBGrid11->drawColumnCell = [this](QPainter* p, const QRect& rect, int row, int column) {
        DBGrid11DrawColumnCell(p, rect, row, column);
    };

    connect(ComboBox11, &QComboBox::editTextChanged, this, [this] { guarded([this] { ComboBox11Change(); }); });
    connectHandler(Button18, &QPushButton::clicked, this, &CookTab::Button18Click);
    connect(Splitter2, &QSplitter::splitterMoved, this, [this] { guarded([this] { Splitter2Moved(); }); });
    connect(DBGrid10, &DBGrid::cellDoubleClicked, this, [this] { DBGrid10DblClick(); });
    connect(DBGrid11, &DBGrid::cellClicked, this, &CookTab::DBGrid11CellClick);
}

QPixmap CookTab::cookPicture()
{
    return picture(QStringLiteral("cook"));
}

QPixmap CookTab::flagPicture()
{
    return picture(QStringLiteral("flag"));
}

void CookTab::ComboBox11Change()
{
    NamedQuery* groups = m_dm->Povari_group;
    groups->reopen({{QStringLiteral("POV"), ComboBox11->currentText()}});
    ComboBox12->clear();
    ComboBox13->clear();
    ComboBox12->setEditText(QString());
    ComboBox13->setEditText(QString());
    const int f = groups->fieldIndex(QStringLiteral("ganyofileba"));
    for (int r = 0; r < groups->rowCount(); ++r) {
        const QString department = groups->valueAt(r, f).toString();
        ComboBox12->addItem(department);
        ComboBox13->addItem(department);
    }
    ComboBox12->setEditText(QString());
    ComboBox13->setEditText(QString());
}

void CookTab::reread()
{
    // An empty cook matches no cook: the text is used as it stands.
    m_dm->Povari_left->reopen({{QStringLiteral("UP"), ComboBox11->currentText()},
                               {QStringLiteral("TP"), ifisstring(ComboBox13->currentText())}});
    m_dm->povari_right->reopen({{QStringLiteral("UP"), ComboBox11->currentText()},
                                {QStringLiteral("TP"), ifisstring(ComboBox12->currentText())}});
}

void CookTab::followChanges(ChangeFeed::Tables)
{
    FeedFollower::keepingView(DBGrid10, [this] { FeedFollower::keepingView(DBGrid11, [this] { reread(); }); });
}

void CookTab::Timer1Timer()
{
    // 29 down to 0, then the tick that re-reads starts the count again at 30:
    // a re-read every 31 ticks, and no count below 0.
    ++m_tag;
    const bool due = m_tag > 30;
    if (due)
        m_tag = 0;
    Button18->setText(QStringLiteral("Refresh %1").arg(30 - m_tag));
    if (due)
        reread();
}

void CookTab::DBGrid10DrawColumnCell(QPainter*, const QRect&, int, int)
{
    // The queue keeps the grid's own drawing.
}

void CookTab::DBGrid11DrawColumnCell(QPainter* p, const QRect& rect, int, int column)
{
    if (column == 4)
        p->drawPixmap(rect, m_cook);
    else if (column == 5)
        p->drawPixmap(rect, m_flag);
}

void CookTab::loadCooks()
{
    ComboBox11->clear();
    ComboBox11->setEditText(QString());
    m_dm->Povrebi->reopen();
    const int f = m_dm->Povrebi->fieldIndex(QStringLiteral("povari"));
    for (int r = 0; r < m_dm->Povrebi->rowCount(); ++r)
        ComboBox11->addItem(m_dm->Povrebi->valueAt(r, f).toString());
    ComboBox11->setEditText(QString());
}

void CookTab::load()
{
    resetCounter();
    m_dm->Povari_left->reopen();
    m_dm->povari_right->reopen();
}

void CookTab::Button18Click()
{
    // The narrow columns, widened to their whole titles, stay out of the spread.
    resizegrid(DBGrid10, std::max(130, DBGrid10->titleWidth(1)));
    resizegrid(DBGrid11, std::max(160, DBGrid11->widestTitle({1, 2, 3, 4, 5})));
    m_tag = 30;  // the next tick re-reads
}

void CookTab::Splitter2Moved()
{
    Button18Click();
}

void CookTab::postAndReread(NamedQuery* list)
{
    // Another station may have changed the line since it was read (a waiter closed
    // it, another cook took it): nothing is overwritten; show the lines as they are now.
    postOrReread(list, [&] {
        list->cancel();
        m_dm->Povari_left->reopen();
        m_dm->povari_right->reopen();
    });
    m_dm->Povari_left->reopen();
    m_dm->povari_right->reopen();
}

void CookTab::DBGrid10DblClick()
{
    NamedQuery* queue = m_dm->Povari_left;
    if (!queue->isOpen() || queue->isEmpty())
        return;
    queue->edit();
    queue->setField(QStringLiteral("STATUSI"), LineState::Taken);
    queue->setField(QStringLiteral("Starttime"), Clock::now());
    postAndReread(queue);
}

void CookTab::DBGrid11CellClick(int column)
{
    if (column != 4 && column != 5)
        return;
    NamedQuery* work = m_dm->povari_right;
    if (!work->isOpen() || work->isEmpty())
        return;
    work->edit();
    if (column == 4) {
        work->setField(QStringLiteral("STATUSI"), LineState::Started);
    } else {
        work->setField(QStringLiteral("STATUSI"), LineState::Finished);
        work->setField(QStringLiteral("endtime"), Clock::now());
    }
    postAndReread(work);
}
