#include "shell/theme.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

bool applyTheme(QApplication& app)
{
    QStyle* style = QStyleFactory::create(QStringLiteral("Fusion"));
    if (!style)
        return false;
    app.setStyle(style);

    const QColor green(0x1E, 0x7B, 0x45);
    const QColor darkGreen(0x0F, 0x55, 0x2E);
    const QColor paper(0xF4, 0xF7, 0xF4);
    QPalette p;
    p.setColor(QPalette::Window, paper);
    p.setColor(QPalette::WindowText, QColor(0x1B, 0x1B, 0x1B));
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(0xE6, 0xF0, 0xE8));
    p.setColor(QPalette::Text, QColor(0x1B, 0x1B, 0x1B));
    p.setColor(QPalette::Button, green);
    p.setColor(QPalette::ButtonText, Qt::white);
    p.setColor(QPalette::Highlight, darkGreen);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, paper);
    p.setColor(QPalette::ToolTipText, Qt::black);
    app.setPalette(p);

    // Flat: square corners, no bevels, green buttons and tabs.
    app.setStyleSheet(QStringLiteral(
        "QPushButton, QToolButton { background: #1E7B45; color: white; border: none;"
        "  padding: 4px 10px; }"
        "QPushButton:hover, QToolButton:hover { background: #26965A; }"
        "QPushButton:pressed, QToolButton:pressed { background: #0F552E; }"
        "QPushButton:disabled { background: #9DBBA8; }"
        // The button that Enter or the space bar would press shows it: an amber
        // edge in place of the padding it takes, so the button keeps its size.
        "QPushButton:focus, QToolButton:focus { border: 3px solid #F2B600; padding: 1px 7px; }"
        "QTabWidget::pane { border: none; }"
        "QTabBar::tab { background: #D3E6D9; color: #0F552E; padding: 6px 14px; border: none;"
        "  margin: 1px; }"
        "QTabBar::tab:selected { background: #1E7B45; color: white; }"
        "QHeaderView::section { background: #1E7B45; color: white; border: none;"
        "  border-right: 1px solid #2E8B55; padding: 3px; }"
        "QLineEdit, QComboBox, QDateEdit { border: 1px solid #1E7B45; padding: 2px;"
        "  background: white; color: #1B1B1B; }"
        // A locked box must not look like one that can be changed.
        "QLineEdit:disabled, QComboBox:disabled, QDateEdit:disabled { background: #E1E6E2;"
        "  color: #5F6B63; border-color: #A9BCAE; }"
        "QTableView { gridline-color: #C8D8CC; selection-background-color: #0F552E; }"
        "QScrollArea { border: none; }"));
    return true;
}
