// The base of the dialog's QtTest classes: every test function starts from
// the default preferences (English, left scroll button), whatever the one
// before it chose.
#pragma once

#include <QObject>

#include "preferences.h"

namespace calmora::testing {

class DialogQTest : public QObject {
    Q_OBJECT

private slots:
    void init() { CurrentPreferences() = Preferences{}; }
};

}  // namespace calmora::testing
