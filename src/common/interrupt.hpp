#pragma once
// Interruption by SIGINT, SIGTERM or SIGHUP. The handler only records the
// signal (nothing else is safe in it); the program notices it at safe
// points of the thread that installed the handlers (every record written,
// every chunk of frames, every batch of resamples) and ends there like a
// stop: quorvel::Stop with status 128 + N and the signal number.
//
// A caller that runs the pipeline on a thread of its own (the library) may
// set a cancel hook for that thread instead: the same safe points ask it,
// and a true answer ends the run with a Stop of cause Cancelled.
#include <functional>

namespace quorvel {

using CancelHook = std::function<bool()>;
// Sets the calling thread's hook; an empty hook ends it.
void set_cancel_hook(CancelHook hook);

void install_interrupt_handlers();
// The signal caught so far (0 for none), marked as handled: no check
// throws for it after this.
int take_signal();
// Throws the interrupting Stop, once, when a signal is pending, or the
// cancelling Stop when this thread's hook asks for it; does nothing on
// other threads (their work is checked by the thread that waits for it).
void check_interrupt();

}  // namespace quorvel
