#include "admin/gridediting.h"
#include "admin/adminrules.h"
#include "admin/editablequerymodel.h"
#include "shell/dbgrid.h"
#include "shell/messages.h"
#include "shell/shared.h"
#include "data/namedquery.h"

#include <QKeyEvent>
#include <QMouseEvent>

GridEditing::GridEditing(DBGrid* grid, EditableQueryModel* model)
    : QObject(grid), m_grid(grid), m_model(model)
{
    grid->bind(model);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                          | QAbstractItemView::AnyKeyPressed);
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid->installEventFilter(this);
    m_viewport = grid->viewport();
    m_viewport->installEventFilter(this);
    // Runs after the grid moved the query: a row left with changes that are still
    // pending was refused, and its message was shown.
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        NamedQuery* q = m_model->dataSet();
        if (!current.isValid() || q->recNo() == current.row() || !q->isModified())
            return;
        guarded([&] {
            m_model->dropFailedRow();
            q->moveTo(current.row());
        });
    });
}

bool GridEditing::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_viewport
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
        // A click on the empty row just appended would move the query onto the
        // row it is on, which drops an untouched new row: only the cell is chosen.
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = m_grid->indexAt(mouse->position().toPoint());
        NamedQuery* q = m_model->dataSet();
        if (index.isValid() && index.row() == q->recNo() && q->state() == NamedQuery::State::Insert
            && !q->isModified()) {
            m_grid->setCurrentIndex(index);
            if (event->type() == QEvent::MouseButtonDblClick)
                m_grid->edit(index);
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
    if (watched != m_grid || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    NamedQuery* q = m_model->dataSet();
    if (key->key() == Qt::Key_Delete && (key->modifiers() & Qt::ControlModifier)) {
        guarded([&] {
            if (q->isOpen() && q->recNo() >= 0 && Messages::ask(AdminRules::DeleteRowQuestion, m_grid))
                q->remove();
        });
        return true;
    }
    if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier && q->isOpen()
        && q->recNo() == q->rowCount() - 1) {
        // Past the last row: an empty row to fill in (an untouched one is not doubled).
        guarded([&] {
            if (q->state() == NamedQuery::State::Insert && !q->isModified())
                return;
            m_model->saveRow();
            q->insert();
            m_grid->setCurrentIndex(m_model->index(q->recNo(), std::max(0, m_grid->currentIndex().column())));
        });
        return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        Q_EMIT keyTyped(QChar(u'\r'));
        return true;
    }
    return QObject::eventFilter(watched, event);
}
