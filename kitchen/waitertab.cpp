#include "kitchen/waitertab.h"
#include "shell/enterpresses.h"
#include "shell/droplist.h"
#include "shell/dbgrid.h"
#include "shell/feedfollower.h"
#include "shell/linestates.h"
#include "shell/shared.h"
#include "kitchen/cooktab.h"
#include "shell/ui.h"
#include "shell/postorreread.h"
#include "data/datamodule.h"
#include "data/storedvalues.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// The width of an editable box that shows `text` whole in its own font.
int fittingWidth(QComboBox* box, const QString& text)
{
    QStyleOptionComboBox opt;
    opt.initFrom(box);
    opt.editable = true;
    const QFontMetrics fm(box->font());
    // The line edit keeps a few pixels of its own on each side of the text.
    const QSize contents(fm.horizontalAdvance(text) + 12, fm.height());
    return box->style()->sizeFromContents(QStyle::CT_ComboBox, &opt, contents, box).width();
}

}  // namespace

WaiterTab::WaiterTab(TDM* dm, QWidget* parent)
    : QWidget(parent), m_dm(dm)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Panel16 = named(new QWidget(this), "Panel16");
    Panel16->setFixedHeight(82);
    auto* bar = new QHBoxLayout(Panel16);
    ComboBox8 = named(new QComboBox(Panel16), "ComboBox8");
    ComboBox8->setEditable(true);
    ComboBox8->setFixedWidth(409);
    ComboBox8->setFont(timesBold(48));
    ComboBox8->lineEdit()->setPlaceholderText(QStringLiteral("ოფიციანტი"));
    ComboBox10 = named(new QComboBox(Panel16), "ComboBox10");
    ComboBox10->setEditable(true);
    ComboBox10->setFixedWidth(145);
    ComboBox10->setFont(timesBold(37));
    ComboBox10->lineEdit()->setPlaceholderText(QStringLiteral("მაგიდა"));
    // The theme's rule for edit boxes would draw the typed text and the hint in
    // the application's small font: the boxes' own edits and lists carry theirs.
    for (QComboBox* box : {ComboBox8, ComboBox10}) {
        box->lineEdit()->setFont(box->font());
        readableDropDown(box);
    }
    // The table box is wide enough for its hint in its large font.
    ComboBox10->setFixedWidth(std::max(145, fittingWidth(ComboBox10, ComboBox10->lineEdit()->placeholderText())));
    SpeedButton12 = named(new QToolButton(Panel16), "SpeedButton12");
    SpeedButton12->setText(QStringLiteral("ფილტრი"));
    SpeedButton12->setFixedSize(137, 57);
    Button19 = named(new QPushButton(Panel16), "Button19");
    Button19->hide();
    bar->addWidget(ComboBox8);
    bar->addWidget(ComboBox10);
    bar->addWidget(SpeedButton12);
    bar->addStretch(1);
    layout->addWidget(Panel16);
    DBGrid12 = named(new DBGrid(this), "DBGrid12");
    DBGrid12->setFont(timesBold(48));
    DBGrid12->horizontalHeader()->setFont(timesBold(21));
    DBGrid12->setRowIndicator(true);
    DBGrid12->setRowsFitText(true);
    DBGrid12->setTitlesFit(true);
    DBGrid12->bind(dm->Opicianti_S, {{QStringLiteral("Kerdzi_DAS"), QStringLiteral("დასახელება")},
                                     {QStringLiteral("Raodenoba"), QStringLiteral("რაოდენობა")},
                                     {QStringLiteral("TableNum"), QStringLiteral("მაგიდა")},
                                     {QStringLiteral("OFFICIANT"), QStringLiteral("ოფიციანტი")},
                                     {QStringLiteral("gasulidro"), QStringLiteral("დრო")},
                                     {QString(), QString()}});
    const int widths[] = {200, 119, 119, 200, 80};
    for (int c = 0; c < 5; ++c)
        DBGrid12->horizontalHeader()->resizeSection(c, widths[c]);
    layout->addWidget(DBGrid12, 1);
    DBGrid12->rowBrush = [dm](int row) {
        NamedQuery* q = dm->Opicianti;
        return QBrush(LineState::rowColour(
            q->valueAt(row, q->fieldIndex(QStringLiteral("STATUSI"))).toInt()));
    };
    m_flag = CookTab::flagPicture();
    DBGrid12->drawColumnCell = [this](QPainter* p, const QRect& rect, int row, int column) {
        DBGrid12DrawColumnCell(p, rect, row, column);
    };

    connectHandler(Button19, &QPushButton::clicked, this, &WaiterTab::Button19Click);
    connectHandler(SpeedButton12, &QToolButton::clicked, this, &WaiterTab::SpeedButton12Click);
    pressOnEnter({ComboBox8, ComboBox10}, SpeedButton12);
    connect(DBGrid12, &DBGrid::cellClicked, this, &WaiterTab::DBGrid12CellClick);
}

void WaiterTab::DBGrid12DrawColumnCell(QPainter* p, const QRect& rect, int, int column)
{
    if (column == 5)
        p->drawPixmap(rect, m_flag);
}

void WaiterTab::followChanges(ChangeFeed::Tables)
{
    NamedQuery* list = m_dm->Opicianti;
    if (list->isOpen())
        FeedFollower::keepingView(DBGrid12, [list] { list->reopen(); });
}

void WaiterTab::Button19Click()
{
    load();
}

void WaiterTab::load()
{
    m_dm->oficianti->reopen();
    ComboBox8->clear();
    ComboBox8->setEditText(QString());
    const int name = m_dm->oficianti->fieldIndex(QStringLiteral("Oficianti"));
    const int state = m_dm->oficianti->fieldIndex(QStringLiteral("mdgomareoba"));
    for (int r = 0; r < m_dm->oficianti->rowCount(); ++r)
        if (m_dm->oficianti->valueAt(r, state).toString() == StoredValues::ActiveWaiter)
            ComboBox8->addItem(m_dm->oficianti->valueAt(r, name).toString());
    ComboBox8->setEditText(QString());
    // Every active waiter's whole name fits the box and its list.
    int wide = std::max(409, fittingWidth(ComboBox8, ComboBox8->lineEdit()->placeholderText()));
    for (int i = 0; i < ComboBox8->count(); ++i)
        wide = std::max(wide, fittingWidth(ComboBox8, ComboBox8->itemText(i)));
    ComboBox8->setFixedWidth(wide);
    // The narrow columns, widened to their whole titles, stay out of the spread.
    resizegrid(DBGrid12, std::max(120, DBGrid12->widestTitle({1, 2, 4, 5})));
}

void WaiterTab::SpeedButton12Click()
{
    // Empty means every waiter or table; any other text is used as typed.
    const QString waiterName = ComboBox8->currentText();
    const QString table = ComboBox10->currentText();
    NamedQuery* list = m_dm->Opicianti;
    list->reopen({{QStringLiteral("OP"), waiterName.isEmpty() ? QStringLiteral("%") : waiterName},
                  {QStringLiteral("TB"), table.isEmpty() ? QStringLiteral("%") : table}});
}

void WaiterTab::DBGrid12CellClick(int column)
{
    if (column != 5)
        return;
    NamedQuery* list = m_dm->Opicianti;
    if (!list->isOpen() || list->isEmpty())
        return;
    list->edit();
    list->setField(QStringLiteral("STATUSI"), LineState::ClosedByWaiter);
    // A cook may have changed the line meanwhile: keep the cook's state and show the list as it is now.
    postOrReread(list, [list] {
        list->cancel();
        list->reopen();
    });
    // The list is not re-read: the row stays where it is, now sky blue.
}
