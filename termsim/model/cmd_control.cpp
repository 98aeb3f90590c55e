// Device control: restart, power, sleep, display, sounds, clock display,
// clearing data and refreshing. The panel state records what was asked.
#include "internal.h"

namespace termsim {
namespace {

Response Restart(Model::State& s, const Call&) {
    // A restart ends the host's lock and wakes the terminal.
    ++s.panel.restarts;
    s.enabled = true;
    s.panel.sleeping = s.panel.suspended = false;
    // The terminal goes down after answering: the connection ends.
    Response r = Ok();
    r.disconnect = true;
    return r;
}

// The simulator keeps answering after these: they are recorded only.
Response PowerOff(Model::State& s, const Call&) {
    s.panel.poweredOff = true;
    return Ok();
}
Response Sleep(Model::State& s, const Call&) {
    s.panel.sleeping = true;
    return Ok();
}
Response Resume(Model::State& s, const Call&) {
    s.panel.sleeping = s.panel.suspended = false;
    return Ok();
}
Response Suspend(Model::State& s, const Call&) {
    s.panel.suspended = true;
    return Ok();
}

Response WriteLcd(Model::State& s, const Call& c) {
    if (c.request.size() < 3) return Error();
    s.panel.lcd.push_back(
        Panel::Text{c.request[0], c.request[1], le::Text(c.request, 3, c.request.size())});
    return Ok();
}

Response ClearLcd(Model::State& s, const Call&) {
    s.panel.lcd.clear();
    return Ok();
}

// Signal: action, data length, 2 zero, data. Action 3 is a beep.
Response Signal(Model::State& s, const Call& c) {
    if (c.request.size() < 4 || !le::Has(c.request, 4, c.request[1])) return Error();
    if (c.request[0] == 3 && c.request[1] >= 1) s.panel.beeps.push_back(c.request[4]);
    return Ok();
}

Response PlayVoice(Model::State& s, const Call& c) {
    if (c.request.empty() || c.request.size() > 2) return Error();
    s.panel.voices.emplace_back(c.request.begin(), c.request.end());
    return Ok();
}

Response EnableClock(Model::State& s, const Call& c) {
    if (c.request.empty()) return Error();
    s.panel.clockShown = c.request[0] != 0;
    return Ok();
}

Response RefreshData(Model::State& s, const Call&) {
    ++s.panel.refreshes;
    return Ok();
}

// Clear data: no request clears users, templates, faces, both logs, messages,
// links and work codes and resets the access-control tables; one byte names
// one table (1 attendance log, 2 templates, 3 nothing kept, 4 operation
// log, 5 users with their templates and faces, 6 short messages, 7 user-message
// links, 9 work codes, 17 named work codes).
Response ClearData(Model::State& s, const Call& c) {
    if (c.request.empty()) {
        s.users.clear();
        s.templates.clear();
        s.faces.clear();
        s.punches.clear();
        s.oplog.clear();
        s.timeZones = DefaultTimeZones();
        s.groups = DefaultGroups();
        s.holidays = {};
        s.combos = {};
        s.content.messages.clear();
        s.content.links.clear();
        s.content.workCodes.clear();
        s.content.workCodeNames.clear();
        return Ok();
    }
    switch (c.request[0]) {
        case 1:
            s.punches.clear();
            break;
        case 2:
            s.templates.clear();
            break;
        case 4:
            s.oplog.clear();
            break;
        case 5:
            s.users.clear();
            s.templates.clear();
            s.faces.clear();
            s.content.links.clear();
            break;
        case 3:
            break;
        case 6:
            s.content.messages.clear();
            s.content.links.clear();
            break;
        case 7:
            s.content.links.clear();
            break;
        case 9:
            s.content.workCodes.clear();
            break;
        case 17:
            s.content.workCodeNames.clear();
            break;
        default:
            return Error();
    }
    return Ok();
}

Response ClearAttLog(Model::State& s, const Call&) {
    s.punches.clear();
    return Ok();
}

Response ClearOpLog(Model::State& s, const Call&) {
    s.oplog.clear();
    return Ok();
}

}  // namespace

void RegisterControlCommands(CommandTable& t) {
    t[CMD_RESTART] = Restart;
    t[CMD_POWER_OFF] = PowerOff;
    t[CMD_SLEEP] = Sleep;
    t[CMD_RESUME] = Resume;
    t[CMD_SUSPEND] = Suspend;
    t[CMD_WRITE_LCD] = WriteLcd;
    t[CMD_CLEAR_LCD] = ClearLcd;
    t[CMD_SIGNAL] = Signal;
    t[CMD_PLAY_VOICE] = PlayVoice;
    t[CMD_ENABLE_CLOCK] = EnableClock;
    t[CMD_REFRESH_DATA] = RefreshData;
    t[CMD_CLEAR_DATA] = ClearData;
    t[CMD_CLEAR_ATTLOG] = ClearAttLog;
    t[CMD_CLEAR_OPLOG] = ClearOpLog;
}

}  // namespace termsim
