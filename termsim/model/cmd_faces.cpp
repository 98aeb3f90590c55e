// Face templates kept as opaque bytes per user and face index, and the
// enrolment-control state machine (idle, enrolling, verifying, identifying)
// driven by the host's start and cancel commands and completed from the
// terminal's side (Model::FinishCapture).
#include <algorithm>

#include "internal.h"

namespace termsim {

bool PutFace(Model::State& s, Face face) {
    if (!s.FindUser(face.pin) || face.data.empty() || face.data.size() > kMaxFace) return false;
    for (auto& old : s.faces)
        if (old.pin == face.pin && old.index == face.index) {
            old = std::move(face);
            return true;
        }
    s.faces.push_back(std::move(face));
    return true;
}

namespace {

// Face request header (28 bytes): 24-byte user ID, u8 0, u8 face index, u16
// face length (writes only).
constexpr std::size_t kFaceHeader = 28;

// The user a face request names; null when the header is short or the ID
// belongs to nobody.
const User* FaceOwner(Model::State& s, le::Bytes request) {
    if (request.size() < kFaceHeader) return nullptr;
    const std::string id = le::Text(request, 0, 24);
    return id.empty() ? nullptr : s.FindUserById(id);
}

Face* FindFace(Model::State& s, std::uint16_t pin, std::uint8_t index) {
    for (auto& f : s.faces)
        if (f.pin == pin && f.index == index) return &f;
    return nullptr;
}

// The face as the reply data; the transport puts its length in front for a
// table read.
Response GetFace(Model::State& s, const Call& c) {
    const User* u = FaceOwner(s, c.request);
    const Face* f = u ? FindFace(s, u->pin, le::U8(c.request, 25)) : nullptr;
    return f ? Ok(f->data) : Error();
}

// The face is the data block pushed with the command. Its 16-bit length
// field must agree: the block's size, or 65535 for a face of 65535 bytes or
// more (the field cannot count further).
Response SetFace(Model::State& s, const Call& c) {
    const User* u = FaceOwner(s, c.request);
    if (!u || c.data.empty() || c.data.size() > kMaxFace) return Error();
    const std::size_t field = le::U16(c.request, 26);
    if (field != std::min<std::size_t>(c.data.size(), 0xFFFF)) return Error();
    Face f{u->pin, le::U8(c.request, 25), std::vector<std::uint8_t>(c.data.begin(), c.data.end())};
    return PutFace(s, std::move(f)) ? Ok() : Error();
}

Response DeleteFace(Model::State& s, const Call& c) {
    if (c.request.size() < kFaceHeader) return Error();
    const User* u = FaceOwner(s, c.request);
    const std::uint8_t index = le::U8(c.request, 25);
    if (!u || !FindFace(s, u->pin, index)) return NotFound(c.request);
    std::erase_if(s.faces, [&](const Face& f) { return f.pin == u->pin && f.index == index; });
    return Ok();
}

// A capture starts only on an idle terminal (the host cancels first) and
// only for a user the terminal has.
Response StartCapture(Model::State& s, Capture capture) {
    if (s.capture.state != CaptureState::Idle) return Error();
    s.capture = capture;
    return Ok();
}

// Enrol: u16 PIN and u8 finger (3 bytes); or a 24-byte text ID and the
// finger (25 bytes), then the host's flag byte (26 bytes).
Response StartEnroll(Model::State& s, const Call& c) {
    const le::Bytes r = c.request;
    Capture capture{CaptureState::Enrolling, 0, 0, 0};
    const User* u = nullptr;
    if (r.size() == 3) {
        u = s.FindUser(le::U16(r, 0));
        capture.finger = le::U8(r, 2);
    } else if (r.size() == 25 || r.size() == 26) {
        const std::string id = le::Text(r, 0, 24);
        u = id.empty() ? nullptr : s.FindUserById(id);
        capture.finger = le::U8(r, 24);
        capture.flag = le::U8(r, 25);
    }
    if (!u) return Error();
    capture.pin = u->pin;
    return StartCapture(s, capture);
}

// Verify: u16 PIN and u8 finger. No request: identify whoever comes.
Response StartVerify(Model::State& s, const Call& c) {
    if (c.request.empty()) return StartCapture(s, Capture{CaptureState::Identifying, 0, 0, 0});
    if (c.request.size() != 3) return Error();
    const User* u = s.FindUser(le::U16(c.request, 0));
    if (!u) return Error();
    return StartCapture(s, Capture{CaptureState::Verifying, u->pin, le::U8(c.request, 2), 0});
}

Response CancelCapture(Model::State& s, const Call&) {
    s.capture = Capture{};
    return Ok();
}

// The host learns the state from the number of reply bytes (PMX_SENDCMD's
// result): as many bytes as the state's number, each holding that number;
// idle is an empty reply.
Response GetState(Model::State& s, const Call&) {
    const auto state = static_cast<std::uint8_t>(s.capture.state);
    return Ok(std::vector<std::uint8_t>(state, state));
}

}  // namespace

void RegisterFaceCommands(CommandTable& t) {
    t[CMD_GET_FACE] = GetFace;
    t[CMD_SET_FACE] = SetFace;
    t[CMD_DEL_FACE] = DeleteFace;
    t[CMD_START_ENROLL] = StartEnroll;
    t[CMD_START_VERIFY] = StartVerify;
    t[CMD_CANCEL_CAPTURE] = CancelCapture;
    t[CMD_GET_STATE] = GetState;
}

std::vector<Face> Model::Faces() const {
    std::lock_guard lock(state_->mu);
    return state_->faces;
}

Capture Model::GetCapture() const {
    std::lock_guard lock(state_->mu);
    return state_->capture;
}

bool Model::AddFace(const Face& face) {
    std::lock_guard lock(state_->mu);
    return PutFace(*state_, face);
}

std::optional<Capture> Model::FinishCapture() {
    std::lock_guard lock(state_->mu);
    if (state_->capture.state == CaptureState::Idle) return std::nullopt;
    const Capture done = state_->capture;
    state_->capture = Capture{};
    return done;
}

}  // namespace termsim
