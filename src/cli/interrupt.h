#pragma once
// interrupt.h: Ctrl-C during a conversion is the Cancel button — the run stops after the item in progress and
// reports what it wrote; a second Ctrl-C ends the program at once (the default action of the signal). One
// guard at a time; it restores the previous handler when it goes.

#include <csignal>

#include "export/export_interfaces.h"

namespace mailferry {

class CancelOnInterrupt {
public:
    // `target`'s Cancel must be safe to call from a signal handler (it only sets a flag).
    explicit CancelOnInterrupt(ICancelable& target);
    ~CancelOnInterrupt();
    CancelOnInterrupt(const CancelOnInterrupt&) = delete;
    CancelOnInterrupt& operator=(const CancelOnInterrupt&) = delete;

private:
    struct sigaction _previous {};
};

}  // namespace mailferry
