#pragma once
// Lets the offscreen event loop run what is posted, including the deferred
// deletes of widgets a page or sheet replaced.
#include <QCoreApplication>
#include <QEvent>

namespace tessa::test {

inline void settle() {
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace tessa::test
