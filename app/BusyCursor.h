#pragma once

#include <QApplication>

namespace zumo::app {

// Shows the busy cursor for its lifetime. The normal cursor comes back on every way out of
// a handler, an error included.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace zumo::app
