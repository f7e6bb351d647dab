#pragma once
// Waiting on the window thread without freezing what it shows.
#include <functional>

class QObject;

namespace pelmora {

// Returns after ms milliseconds (or as soon as done() holds, checked every
// few milliseconds). Meanwhile the window thread goes on with camera frames,
// paints, timers and posted events; the user's clicks and keys wait in their
// queue and are handled after the wait, in order. Without an application
// object it simply sleeps.
void WaitPainting(int ms);
bool WaitPaintingUntil(const std::function<bool()>& done, int boundMs);

// Without waiting: calls then() on context's thread as soon as done() holds,
// or once boundMs have passed, whichever comes first; nothing if context
// goes first.
void WhenDone(QObject* context, std::function<bool()> done, int boundMs, std::function<void()> then);

} // namespace pelmora
