#pragma once

namespace keldrin {

// One pass of the window's event pump: every event pending now is handled.
void PumpOnce();
// Five passes, so repaints and queued work that the first passes post are handled too.
void PumpEvents();
// Blocks in the event loop until something happens or at most `maxMs` ms have gone by; the
// waiting loops of the program use it instead of spinning.
void WaitForEvents(int maxMs);

// The pumps of tight loops (per character sent or received, per firmware line): one pass, or
// five, only when the window has not been pumped for a while. Pumping with nothing pending
// still costs a poll of every event source, which per character is most of the work; a few
// milliseconds between passes keep the window and the abort button just as responsive.
void PumpIfDue();
void PumpEventsIfDue();

}  // namespace keldrin
