#pragma once
// Waiting on the window thread without freezing what it shows.
#include <functional>

namespace pelmora {

// Returns after ms milliseconds (or as soon as done() holds, checked every
// few milliseconds). Meanwhile the window thread goes on with camera frames,
// paints, timers and posted events; the user's clicks and keys wait in their
// queue and are handled after the wait, in order. Without an application
// object it simply sleeps.
void WaitPainting(int ms);
bool WaitPaintingUntil(const std::function<bool()>& done, int boundMs);

} // namespace pelmora
