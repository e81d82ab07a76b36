#pragma once

#include <QString>
#include <initializer_list>

class NamedQuery;
class QComboBox;
class QDateTimeEdit;
class QGroupBox;
class QHBoxLayout;
class QToolButton;
class QWidget;

// The filter strip over a report's grid, the same on every report tab: the boxes
// side by side, each under its label; then the dates and the search button along
// the boxes' bottom; at the right the export button.
class FilterStrip
{
public:
    FilterStrip(const QString& title, QWidget* report);

    QGroupBox* group() const { return m_group; }
    // A box under its label.
    void addLabelled(const QString& label, QWidget* box);
    // The rest of the strip: `bottom` (the dates, the search button) in order,
    // then the export button alone at the right.
    void finish(std::initializer_list<QWidget*> bottom, QWidget* exportButton);

    // A box that offers a list but takes any text: nothing typed joins the list.
    static void makePickBox(QComboBox* box, int minimumCharacters);
    // A date box: the day alone, with a calendar.
    static void makeDateBox(QDateTimeEdit* box);
    // The export button: the export picture at 32 pixels.
    static void makeExportButton(QToolButton* button);

private:
    QGroupBox* m_group;
    QHBoxLayout* m_row;
};

// A pick list filled from `list` (one entry per row, the text of `field`) and
// then shown blank, because a blank filter means all: the filled list selects
// nothing. The box keeps what it held; `list` is read as it stands.
void fillPickList(QComboBox* box, const NamedQuery* list, const QString& field);
// An editable box shows nothing and selects nothing, without telling anyone.
void showBlank(QComboBox* box);
