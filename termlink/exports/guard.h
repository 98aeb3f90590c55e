// Every export runs its body through Guarded(): no C++ exception ever crosses
// the C boundary. The only exception the library can raise is an allocation
// failure, which is reported with the export's own failure result.
#pragma once

#include <utility>

#include "session/session.h"
#include "termlink.h"

namespace tl {

template <typename R, typename F>
R Guarded(R onException, F&& body) noexcept {
    try {
        return std::forward<F>(body)();
    } catch (...) {
        return onException;
    }
}

// The usual export shape: -1 for a null session, else the body on the session.
template <typename F>
int WithSession(TL_HANDLE handle, F&& body) noexcept {
    if (!handle) return -1;
    return Guarded(-2, [&] { return body(*as_session(handle)); });
}

}  // namespace tl
