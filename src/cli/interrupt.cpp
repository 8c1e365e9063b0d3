#include "cli/interrupt.h"

namespace mailferry {

namespace {

ICancelable* volatile g_target = nullptr;

void OnInterrupt(int) {
    if (g_target) g_target->Cancel();
    // From now on the signal's own action applies: the next Ctrl-C ends the program.
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    sigemptyset(&plain.sa_mask);
    sigaction(SIGINT, &plain, nullptr);
}

}  // namespace

CancelOnInterrupt::CancelOnInterrupt(ICancelable& target) {
    g_target = &target;
    struct sigaction handler {};
    handler.sa_handler = OnInterrupt;
    sigemptyset(&handler.sa_mask);
    sigaction(SIGINT, &handler, &_previous);
}

CancelOnInterrupt::~CancelOnInterrupt() {
    sigaction(SIGINT, &_previous, nullptr);
    g_target = nullptr;
}

}  // namespace mailferry
