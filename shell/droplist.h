#pragma once

class QComboBox;

// Makes the list a box drops down readable at arm's length, as the order
// window's waiter list is: rows in the box's own font, 19 pixels at the least
// (not the small menu font the default list draws in), tall enough for the tops and bottoms of the
// Georgian letters, whole entries in a list as wide as the longest. The list
// follows the box's entries and font as they change.
void readableDropDown(QComboBox* box);
