#include "orders/tshekvetebi.h"
#include "app/shell/dbgrid.h"
#include "app/shell/ui.h"
#include "data/tdm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>


QPixmap Tshekvetebi::deleteMark()
{
    QPixmap pm(30, 30);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xD3, 0x1F, 0x1F));
    p.drawEllipse(QRectF(1.5, 1.5, 27, 27));
    p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 9.5), QPointF(20.5, 20.5));
    p.drawLine(QPointF(20.5, 9.5), QPointF(9.5, 20.5));
    return pm;
}

Tshekvetebi::Tshekvetebi(TDM* dm, QWidget* parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("shekvetebi"));
    setWindowTitle(QStringLiteral("შეკვეთა"));
    setFont(timesBold(13));
    resize(1006, 658);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(4, 4, 4, 0);

    Label1 = named(new QLabel(QStringLiteral("0"), this), "Label1");
    Label1->setFont(timesBold(48));
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->setAlignment(Qt::AlignCenter);
    root->addWidget(Label1);

    TabControl1 = named(new QTabBar(this), "TabControl1");
    TabControl1->setShape(QTabBar::RoundedSouth);
    TabControl1->setExpanding(false);
    root->addWidget(TabControl1);

    Splitter1 = named(new QSplitter(Qt::Horizontal, this), "Splitter1");
    root->addWidget(Splitter1, 1);

    // The menu side.
    Panel2 = named(new QWidget(Splitter1), "Panel2");
    auto* left = new QVBoxLayout(Panel2);
    left->setContentsMargins(0, 0, 0, 0);
    Panel3 = named(new QWidget(Panel2), "Panel3");
    auto* filters = new QHBoxLayout(Panel3);
    filters->setContentsMargins(0, 0, 0, 0);
    ComboBox1 = named(new QComboBox(Panel3), "ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setMinimumWidth(220);
    Label2 = named(new QLabel(QStringLiteral("დასახელება"), Panel3), "Label2");
    Edit1 = named(new QLineEdit(Panel3), "Edit1");
    filters->addWidget(ComboBox1);
    filters->addWidget(Label2);
    filters->addWidget(Edit1, 1);
    left->addWidget(Panel3);
    DBGrid1 = named(new DBGrid(Panel2), "DBGrid1");
    DBGrid1->setShowGrid(true);
    left->addWidget(DBGrid1, 1);

    // The order side.
    auto* right = new QWidget(Splitter1);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    Panel6 = named(new QWidget(right), "Panel6");
    auto* bar = new QHBoxLayout(Panel6);
    bar->setContentsMargins(0, 0, 0, 0);
    CheckBox2 = named(new QCheckBox(Panel6), "CheckBox2");
    CheckBox2->setChecked(true);
    CheckBox1 = named(new QCheckBox(QStringLiteral("კონსიგნაცია"), Panel6), "CheckBox1");
    SpeedButton2 = named(new QToolButton(Panel6), "SpeedButton2");
    SpeedButton2->setFixedSize(40, 40);
    SpeedButton2->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    SpeedButton2->setToolTip(QStringLiteral("ბეჭდვა"));
    SpeedButton3 = named(new QToolButton(Panel6), "SpeedButton3");
    SpeedButton3->hide();
    SpeedButton1 = named(new QToolButton(Panel6), "SpeedButton1");
    SpeedButton1->setIcon(QIcon(deleteMark()));
    SpeedButton1->hide();
    bar->addWidget(CheckBox2);
    bar->addWidget(CheckBox1);
    bar->addStretch(1);
    bar->addWidget(SpeedButton2);
    rightLayout->addWidget(Panel6);

    DBGrid2 = named(new DBGrid(right), "DBGrid2");
    rightLayout->addWidget(DBGrid2, 1);

    auto* bottom = new QHBoxLayout();
    Panel7 = named(new QWidget(right), "Panel7");
    auto* totals = new QVBoxLayout(Panel7);
    totals->setContentsMargins(0, 0, 0, 0);
    DBText1 = named(new QLabel(Panel7), "DBText1");
    auto* totalLine = new QHBoxLayout();
    Label3 = named(new QLabel(QStringLiteral("0"), Panel7), "Label3");
    Label3->setFont(timesBold(24));
    DBText2 = named(new QLabel(Panel7), "DBText2");
    DBText2->setStyleSheet(QStringLiteral("color: blue;"));
    DBText2->setFont(timesBold(24));
    DBText2->setToolTip(QStringLiteral("წინასწარ გადახდილი თანხა"));
    totalLine->addWidget(Label3, 1);
    totalLine->addWidget(DBText2);
    totals->addWidget(DBText1);
    totals->addLayout(totalLine);
    bottom->addWidget(Panel7, 1);
    Button2 = named(new QPushButton(QStringLiteral("გადახდა"), right), "Button2");
    Button1 = named(new QPushButton(QStringLiteral("სუფრის ალაგება"), right), "Button1");
    Button2->setAutoDefault(false);
    Button1->setAutoDefault(false);
    bottom->addWidget(Button2);
    bottom->addWidget(Button1);
    rightLayout->addLayout(bottom);

    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setFixedWidth(300);
        StatusBar1->addWidget(panel);
    }
    root->addWidget(StatusBar1);
}
