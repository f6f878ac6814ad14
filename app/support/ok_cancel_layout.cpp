#include "app/support/ok_cancel_layout.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace calmora {

QVBoxLayout* StackAboveOkCancel(QWidget* panel, QWidget* first, QWidget* second,
                                QPushButton* ok, QPushButton* cancel) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    auto* layout = new QVBoxLayout(panel);
    layout->addWidget(first);
    layout->addWidget(second);
    layout->addLayout(row);
    return layout;
}

}  // namespace calmora
