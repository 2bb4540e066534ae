#include "common/interrupt.hpp"

#include <csignal>
#include <thread>
#include <utility>

#include "common/stop.hpp"

namespace quorvel {
namespace {

volatile std::sig_atomic_t caught = 0;
bool installed = false;
bool thrown = false;
std::thread::id handling_thread;
thread_local CancelHook cancel_hook;

extern "C" void on_signal(int signal) { caught = signal; }

}  // namespace

void install_interrupt_handlers() {
  handling_thread = std::this_thread::get_id();
  installed = true;
  struct sigaction action {};
  action.sa_handler = on_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no restart: a blocking open or read returns at once
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

int take_signal() {
  thrown = true;
  return caught;
}

void set_cancel_hook(CancelHook hook) { cancel_hook = std::move(hook); }

void check_interrupt() {
  if (cancel_hook && cancel_hook()) throw Stop{1, 0, StopCause::Cancelled};
  if (caught == 0 || thrown || !installed || std::this_thread::get_id() != handling_thread) return;
  thrown = true;
  const int signal = caught;
  throw Stop{128 + signal, signal};
}

}  // namespace quorvel
