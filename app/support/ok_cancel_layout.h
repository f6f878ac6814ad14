// The layout the program's small option panels share: two controls stacked
// above a row of OK and Cancel kept to the right.
#pragma once

class QPushButton;
class QVBoxLayout;
class QWidget;

namespace calmora {

// Lays out panel's children and returns the panel's layout.
QVBoxLayout* StackAboveOkCancel(QWidget* panel, QWidget* first, QWidget* second,
                                QPushButton* ok, QPushButton* cancel);

}  // namespace calmora
