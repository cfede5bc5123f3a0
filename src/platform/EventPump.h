#pragma once

namespace keldrin {

// One pass of the window's event pump: every event pending now is handled.
void PumpOnce();
// Five passes, so repaints and queued work that the first passes post are handled too.
void PumpEvents();
// Blocks in the event loop until something happens or at most `maxMs` ms have gone by; the
// waiting loops of the program use it instead of spinning.
void WaitForEvents(int maxMs);

}  // namespace keldrin
