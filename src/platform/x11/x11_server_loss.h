#pragma once
// What happens when the X server goes away (the session ends, the server
// dies). Every Xlib connection of the process breaks at once, on whichever
// threads use them, and Xlib's own answer is exit(1) on each thread that
// notices: the static destructors then run while the other threads still
// use what they destroy, and two threads may run them at once.
#include <functional>

namespace tessa {

// Replaces Xlib's I/O error handler for the whole process (Qt's included,
// so call it after the QApplication is made). `lost` runs on the thread that
// noticed, once per noticing thread, and must end the process itself; it
// must not return (should it, the process ends with status 1 without
// running any destructor).
void onX11ServerLoss(std::function<void()> lost);

}  // namespace tessa
