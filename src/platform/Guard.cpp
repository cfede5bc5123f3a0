#include "platform/Guard.h"

#include <cstdio>

#include "platform/Errors.h"

namespace keldrin {

namespace {
ErrorTrap& trapSlot() {
    static ErrorTrap trap;
    return trap;
}
}  // namespace

void setErrorTrap(ErrorTrap trap) {
    trapSlot() = std::move(trap);
}

void reportEscapedError(const std::exception& error, const char* where) {
    try {
        if (trapSlot()) {
            trapSlot()(error, where);
            return;
        }
        std::fprintf(stderr, "keldrin: %s in %s: %s\n", exceptionClassName(error).c_str(),
                     where ? where : "?", error.what());
    } catch (...) {
        // The trap itself failed: nothing more can be done without risking the event loop.
    }
}

}  // namespace keldrin
