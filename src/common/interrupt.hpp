#pragma once
// Interruption by SIGINT, SIGTERM or SIGHUP. The handler only records the
// signal (nothing else is safe in it); the program notices it at safe
// points of the thread that installed the handlers (every record written,
// every chunk of frames, every batch of resamples) and ends there like a
// stop: quorvel::Stop with status 128 + N and the signal number.
namespace quorvel {

void install_interrupt_handlers();
// The signal caught so far (0 for none), marked as handled: no check
// throws for it after this.
int take_signal();
// Throws the interrupting Stop, once, when a signal is pending; does
// nothing on other threads (their work is checked by the thread that
// waits for it).
void check_interrupt();

}  // namespace quorvel
