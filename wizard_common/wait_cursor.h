// The hourglass pointer while a database opens or a long step runs: one guard per scope, so
// every way out of the scope (return, error) puts the default pointer back.
#pragma once

#include <QApplication>

namespace wizard {

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace wizard
