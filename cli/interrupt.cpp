#include "interrupt.h"

#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <system_error>

namespace tavi {

namespace {

// A signal handler may only touch lock-free atomics.
static_assert(std::atomic<bool>::is_always_lock_free);

std::atomic<bool> gInterrupted{false};
std::atomic<bool> gInstalled{false};
struct sigaction gPrevious {};

// Runs on SIGINT, on whatever thread the signal lands. Only sets the flag;
// SA_RESETHAND has already restored the default action, so the next SIGINT
// ends the program.
extern "C" void onInterrupt(int) {
    gInterrupted.store(true, std::memory_order_relaxed);
}

} // namespace

InterruptHandler::InterruptHandler() {
    if (gInstalled.exchange(true))
        throw std::logic_error("an interrupt handler is already installed");
    gInterrupted.store(false);
    struct sigaction action {};
    action.sa_handler = &onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    if (sigaction(SIGINT, &action, &gPrevious) != 0) {
        const int error = errno;
        gInstalled.store(false);
        throw std::system_error(error, std::generic_category(), "cannot handle SIGINT");
    }
}

InterruptHandler::~InterruptHandler() {
    sigaction(SIGINT, &gPrevious, nullptr);
    gInstalled.store(false);
}

const std::atomic<bool>& InterruptHandler::flag() {
    return gInterrupted;
}

} // namespace tavi
