// What the update needs from its surroundings besides the transport: pausing
// between tries, letting a window breathe, a random key for scrambled
// options, the ARP flush before a connect, and progress notes. Front ends
// take the defaults; tests replace them so that nothing really waits.
#pragma once

#include <functional>
#include <string>

namespace qvupdate {

struct Hooks {
    std::function<void(int ms)> sleep;             // pause between tries and after option lines
    std::function<void()> pump;                    // let a front end process pending events
    std::function<int()> random;                   // any non-negative integer; the key is it % 255
    std::function<void()> flushArp;                // before every connect
    std::function<void(const std::string&)> note;  // "sending firmware (try 2)" and the like

    void Sleep(int ms) const {
        if (sleep) sleep(ms);
    }
    void Pump() const {
        if (pump) pump();
    }
    void Note(const std::string& text) const {
        if (note) note(text);
    }
};

// Real pauses, a seeded random generator, the platform's ARP flush.
Hooks DefaultHooks();

}  // namespace qvupdate
