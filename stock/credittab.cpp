#include "stock/credittab.h"
#include "shell/dbgrid.h"
#include "shell/deletemark.h"
#include "shell/inputerror.h"
#include "shell/messages.h"
#include "shell/numerickeyfilter.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "shell/postorreread.h"
#include "shell/excellgo.h"
#include "data/datasource.h"
#include "data/formats.h"
#include "data/likepattern.h"
#include "data/datamodule.h"
#include "data/storedvalues.h"
#include "stock/receiving.h"

#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString NotAnAmount = QStringLiteral("გადახდილი თანხა უნდა იყოს რიცხვი! თანხა არ შეიცვალა!!!");
const QString NegativeAmount = QStringLiteral("გადახდილი თანხა უარყოფითი ვერ იქნება! თანხა არ შეიცვალა!!!");
const QString AboveDebt = QStringLiteral(
    "გადახდილი თანხა ვალს აღემატება: ვალი %1, ჯერ გადასახდელი %2! თანხა არ შეიცვალა!!!");
constexpr int PaidColumn = 2;

bool blank(const QString& text)
{
    return text.trimmed().isEmpty();
}
constexpr int DeleteColumn = 5;

}  // namespace

CreditTab::CreditTab(TDM* dm, QWidget* parent)
    : QWidget(parent), m_dm(dm)
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(4, 4, 4, 4);

    GroupBox = named(new QGroupBox(QStringLiteral("კონსიგნაცია"), this), "GroupBox");
    auto* filters = new QHBoxLayout(GroupBox);
    RadioButton1 = named(new QRadioButton(Receiving::SupplierSide, GroupBox), "RadioButton1");
    RadioButton2 = named(new QRadioButton(StoredValues::ClientSide, GroupBox), "RadioButton2");
    RadioButton1->setChecked(true);
    auto* sides = new QVBoxLayout();
    sides->addWidget(RadioButton1);
    sides->addWidget(RadioButton2);
    filters->addLayout(sides);
    auto labelled = [&](const QString& label, QWidget* w, int stretch) {
        auto* form = new QFormLayout();
        form->setRowWrapPolicy(QFormLayout::WrapAllRows);
        form->addRow(label, w);
        filters->addLayout(form, stretch);
    };
    LabeledEdit4 = named(new QLineEdit(GroupBox), "LabeledEdit4");
    LabeledEdit5 = named(new QLineEdit(GroupBox), "LabeledEdit5");
    labelled(QStringLiteral("ორგანიზაცია/სახელი"), LabeledEdit4, 3);
    labelled(QStringLiteral("№"), LabeledEdit5, 1);
    button14 = named(new QPushButton(QStringLiteral("ძებნა"), GroupBox), "button14");
    filters->addWidget(button14, 0, Qt::AlignBottom);
    filters->addStretch(1);
    SpeedButton9 = named(new QToolButton(GroupBox), "SpeedButton9");
    SpeedButton9->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    SpeedButton9->setIconSize(QSize(32, 32));
    SpeedButton9->setToolTip(QStringLiteral("ექსპორტი"));
    filters->addWidget(SpeedButton9, 0, Qt::AlignBottom);
    Button15 = named(new QPushButton(GroupBox), "Button15");
    Button15->hide();
    root->addWidget(GroupBox);

    DBGrid8 = named(new DBGrid(this), "DBGrid8");
    DBGrid8->setRowIndicator(true);
    DBGrid8->setShowGrid(true);
    DBGrid8->horizontalHeader()->setSectionsMovable(false);
    DBGrid8->horizontalHeader()->setStretchLastSection(false);
    DBGrid8->horizontalHeader()->setMinimumSectionSize(24);  // the delete mark's 30 pixels
    DBGrid8->bind(dm->nisia_grid_S, {{QStringLiteral("FN"), QStringLiteral("ორგანიზაცია/სახელი")},
                                     {QStringLiteral("nisia"), QStringLiteral("ვალი")},
                                     {QStringLiteral("shettanxa"), QStringLiteral("გად.თანხა")},
                                     {QStringLiteral("USERNUM"), QStringLiteral("№")},
                                     {QStringLiteral("tarigi"), QStringLiteral("თარიღი")},
                                     {QString(), QString()}});
    m_deleteMark = deleteMark();
    DBGrid8->drawColumnCell = [this](QPainter* p, const QRect& rect, int row, int column) {
        DBGrid8DrawColumnCell(p, rect, row, column);
    };
    root->addWidget(DBGrid8, 1);

    auto* totals = new QHBoxLayout();
    m_debtTotal = named(new QLabel(this), "debtTotal");
    m_paidTotal = named(new QLabel(this), "paidTotal");
    for (QLabel* l : {m_debtTotal, m_paidTotal})
        l->setFont(timesBold(18));
    totals->addWidget(new QLabel(QStringLiteral("ვალი"), this));
    totals->addWidget(m_debtTotal);
    totals->addSpacing(40);
    totals->addWidget(new QLabel(QStringLiteral("გადახდილი თანხა"), this));
    totals->addWidget(m_paidTotal);
    totals->addStretch(1);
    root->addLayout(totals);

    connectHandler(Button15, &QPushButton::clicked, this, &CreditTab::Button15Click);
    connectHandler(button14, &QPushButton::clicked, this, &CreditTab::button14Click);
    connectHandler(RadioButton1, &QRadioButton::clicked, this, &CreditTab::button14Click);
    connectHandler(RadioButton2, &QRadioButton::clicked, this, &CreditTab::button14Click);
    connectHandler(LabeledEdit4, &QLineEdit::textChanged, this, &CreditTab::button14Click);
    connectHandler(LabeledEdit5, &QLineEdit::textChanged, this, &CreditTab::button14Click);
    connectHandler(SpeedButton9, &QToolButton::clicked, this, &CreditTab::SpeedButton9Click);
    connect(DBGrid8, &DBGrid::cellClicked, this, [this](int column) {
        guarded([&] { DBGrid8CellClick(column); });
    });
    connect(dm->sum_nisia_S, &DataSource::reset, this, &CreditTab::showTotals);
    // A typed amount is saved before a click elsewhere in the grid moves the row.
    DBGrid8->viewport()->installEventFilter(this);
    DBGrid8->installEventFilter(this);
    connect(DBGrid8->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        guarded([this] {
            if (m_editor && savePaidAmount())
                m_dm->sum_nisia->reopen();
            closeEditor();
        });
    });
}

QString CreditTab::debtTotal() const
{
    return m_debtTotal->text();
}

QString CreditTab::paidTotal() const
{
    return m_paidTotal->text();
}

void CreditTab::showTotals()
{
    NamedQuery* sums = m_dm->sum_nisia;
    const bool shown = sums->isOpen() && !sums->isEmpty();
    m_debtTotal->setText(shown ? sums->displayText(0, sums->fieldIndex(QStringLiteral("Expr1000"))) : QString());
    m_paidTotal->setText(shown ? sums->displayText(0, sums->fieldIndex(QStringLiteral("Expr1001"))) : QString());
}

void CreditTab::Button15Click()
{
    const int w = DBGrid8->viewport()->width();
    DBGrid8->setColumnWidth(0, std::max(150, w - 480));
    for (int c = 1; c < DeleteColumn; ++c)
        DBGrid8->setColumnWidth(c, 100);
    DBGrid8->setColumnWidth(DeleteColumn, 30);
    button14Click();
}

void CreditTab::button14Click()
{
    // A search drops an amount typed and not yet saved with Enter.
    closeEditor();
    const QString who = RadioButton1->isChecked() ? Receiving::SupplierSide : StoredValues::ClientSide;
    const std::initializer_list<NamedQuery::Param> filter = {
        // What is typed matches as typed: "_" and "%" are no wildcards here.
        {QStringLiteral("FN"), blank(LabeledEdit4->text()) ? QStringLiteral("%") : LikePattern::prefix(LabeledEdit4->text())},
        {QStringLiteral("US"), blank(LabeledEdit5->text()) ? QStringLiteral("%") : LikePattern::exact(LabeledEdit5->text())},
        {QStringLiteral("who"), who}};
    m_dm->nisia_grid->reopen(filter);
    m_dm->sum_nisia->reopen(filter);
}

void CreditTab::DBGrid8CellClick(int column)
{
    m_editing = false;
    closeEditor();
    NamedQuery* ledger = m_dm->nisia_grid;
    if (!ledger->isOpen())
        return;
    if (column == DeleteColumn) {
        if (!Messages::ask(QStringLiteral("ნამდვილად გსურთ ვალაის წაშლა?"), this))
            return;
        if (!ledger->isEmpty())
            ledger->remove();
        m_dm->sum_nisia->reopen();
    } else if (column == PaidColumn) {
        m_editing = true;
        if (!ledger->isEmpty())
            openEditor();
    }
}

void CreditTab::DBGrid8KeyPress(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return;
    if (m_editor) {
        const bool saved = savePaidAmount();
        closeEditor();
        if (!saved)
            return;
    }
    m_dm->sum_nisia->reopen();
}

void CreditTab::SpeedButton9Click()
{
    EXCELLGO(QStringLiteral("კონსიგნაცია"), QStringLiteral("R_konsignacia"), *DBGrid8->queryModel());
}

void CreditTab::openEditor()
{
    NamedQuery* ledger = m_dm->nisia_grid;
    m_editedRow = ledger->recNo();
    const QModelIndex cell = DBGrid8->model()->index(m_editedRow, PaidColumn);
    m_editor = named(new QLineEdit(DBGrid8->viewport()), "paidEditor");
    m_editor->setText(ledger->isNull(QStringLiteral("shettanxa"))
                          ? QString()
                          : Formats::general(ledger->asFloat(QStringLiteral("shettanxa"))));
    m_editor->setGeometry(DBGrid8->visualRect(cell));
    m_editor->installEventFilter(this);
    m_editor->show();
    m_editor->setFocus();
    m_editor->selectAll();
}

void CreditTab::closeEditor()
{
    if (!m_editor)
        return;
    QLineEdit* editor = m_editor;
    m_editor = nullptr;
    m_editedRow = -1;
    editor->hide();
    editor->deleteLater();
}

bool CreditTab::savePaidAmount()
{
    if (!m_editor)
        return false;
    NamedQuery* ledger = m_dm->nisia_grid;
    const QString typed = m_editor->text();
    const int row = m_editedRow;
    closeEditor();
    if (row < 0 || row >= ledger->rowCount())
        return false;
    // Either decimal separator, as the boxes with the key rule take them.
    const QString local = NumericKeyFilter::normalized(typed.trimmed());
    const std::optional<Money> amount = Money::parseLocal(local);
    if (!amount)
        throw InputError(Money::refusalText(local, NotAnAmount));
    if (amount->raw() < 0)
        throw InputError(NegativeAmount);
    ledger->moveTo(row);
    // The row's paid amount is what has been paid on its debt in all: never more than the debt.
    const Money debt = ledger->asMoney(QStringLiteral("nisia"));
    if (*amount > debt) {
        const Money paid = ledger->asMoney(QStringLiteral("shettanxa"));
        throw InputError(AboveDebt.arg(Formats::shortest(debt), Formats::shortest(debt - paid)));
    }
    ledger->edit();
    ledger->setField(QStringLiteral("shettanxa"), amount->toDouble());
    // Another station may have paid or deleted this debt meanwhile: show what it wrote.
    postOrReread(ledger, [&] {
        ledger->cancel();
        ledger->refresh();
        m_dm->sum_nisia->reopen();
    });
    return true;
}

void CreditTab::DBGrid8DrawColumnCell(QPainter* p, const QRect& rect, int, int column)
{
    if (column == DeleteColumn)
        p->drawPixmap(rect, m_deleteMark);
}

bool CreditTab::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == m_editor || watched == DBGrid8)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            guarded([&] { DBGrid8KeyPress(key); });
            return true;
        }
        if (key == Qt::Key_Escape && watched == m_editor) {
            closeEditor();
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonPress && watched == DBGrid8->viewport() && m_editor) {
        // Moving to another row saves the typed amount, as the other grids do,
        // and the totals follow.
        guarded([this] {
            if (savePaidAmount())
                m_dm->sum_nisia->reopen();
        });
    }
    return QWidget::eventFilter(watched, event);
}
