#include "reports/reportfilters.h"
#include "data/namedquery.h"
#include "reports/exportpicture.h"
#include "shell/droplist.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QToolButton>

FilterStrip::FilterStrip(const QString& title, QWidget* report)
    : m_group(new QGroupBox(title, report)), m_row(new QHBoxLayout(m_group))
{
}

void FilterStrip::addLabelled(const QString& label, QWidget* box)
{
    auto* form = new QFormLayout();
    form->setRowWrapPolicy(QFormLayout::WrapAllRows);
    form->addRow(label, box);
    m_row->addLayout(form);
}

void FilterStrip::finish(std::initializer_list<QWidget*> bottom, QWidget* exportButton)
{
    for (QWidget* w : bottom)
        m_row->addWidget(w, 0, Qt::AlignBottom);
    m_row->addStretch(1);
    m_row->addWidget(exportButton, 0, Qt::AlignBottom);
}

void FilterStrip::makePickBox(QComboBox* box, int minimumCharacters)
{
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMinimumContentsLength(minimumCharacters);
    readableDropDown(box);
}

void FilterStrip::makeDateBox(QDateTimeEdit* box)
{
    box->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    box->setCalendarPopup(true);
}

void FilterStrip::makeExportButton(QToolButton* button)
{
    button->setIcon(exportPicture());
    button->setIconSize(QSize(32, 32));
}

void fillPickList(QComboBox* box, const NamedQuery* list, const QString& field)
{
    const int f = list->fieldIndex(field);
    for (int r = 0; r < list->rowCount(); ++r)
        box->addItem(list->valueAt(r, f).toString());
    showBlank(box);
}

void showBlank(QComboBox* box)
{
    const QSignalBlocker quiet(box);
    box->setCurrentIndex(-1);
    box->setEditText(QString());
}
