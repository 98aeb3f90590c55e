// The whole public C API against a hostile terminal.
//
// Input: two little-endian bytes give the length of the program, the caller's
// side (which connect, which exports in which order, their arguments and the
// bytes of templates and containers); the rest is the script the terminal
// answers from (hostile_terminal.h). A run connects, makes up to kMaxCalls
// export calls and closes the session. Iterating exports run to their end
// (at most kMaxRecords calls).
//
// Every caller buffer is a heap block of exactly the size the headers give,
// filled with a sentinel, so an overrun lands in ASan's redzone and a write is
// visible. After each call the result must be one the export documents;
// outputs must be untouched unless the result is 1 (where the export says
// otherwise, that is stated at the call); on 1 the outputs the export promises
// must hold values of their documented range or terminated texts; and an
// export whose only exchange was not answered REPLY_OK must not report 1. A
// failed connect leaves no transport open, TL_Close closes its own, and a null
// session gives -1 everywhere. Violations trap with the export's name.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "hostile_terminal.h"
#include "maintenance/backup.h"
#include "session/session.h"
#include "termlink.h"
// What a caller needs to size template inputs and split outputs: a template's
// own length, the bound its magic allows, and the plain form of a container.
#include "users/template_codec.h"
#include "users/template_container.h"
#include "users/template_model.h"

namespace {

using hostile::Fail;

constexpr int kMaxCalls = 48;
constexpr int kMaxRecords = 1000;
constexpr std::uint8_t kSentinel = 0xA5;

// The caller's choices.
struct Program : hostile::Stream {
    int Small(int n) { return Byte() % n; }
    bool OneIn(int n) { return Byte() % n == 0; }
    int Pick(std::initializer_list<int> v) { return v.begin()[Byte() % v.size()]; }
    // Mostly the values boundaries are made of, else any 16- or 32-bit value.
    int Int() {
        static constexpr int kInts[] = {0,   1,   2,     3,     5,     8,  24, 25,      99,
                                        100, 255, 65534, 65535, 65536, -1, -2, INT_MIN, INT_MAX};
        const std::uint8_t b = Byte();
        if (b < 0x80) return kInts[b % (sizeof kInts / sizeof kInts[0])];
        if (b < 0xC0) return Word();
        return static_cast<int>(Dword());
    }
    // Mostly digits (user IDs, time texts), sometimes any byte, NUL included.
    std::string Text(std::size_t max) {
        std::string t(Byte() % (max + 1), '0');
        for (char& c : t) {
            const std::uint8_t b = Byte();
            c = static_cast<char>(b < 0xC0 ? '0' + b % 10 : b);
        }
        return t;
    }
    std::vector<std::uint8_t> Blob(std::size_t max) {
        std::vector<std::uint8_t> b(Word() % (max + 1));
        Copy(b.data(), b.size());
        return b;
    }
};

// A caller's buffer, allocated at exactly its size and starting as the
// sentinel or as the input it carries; Untouched() compares with that start.
// An omitted buffer is passed as a null pointer.
class Buf {
  public:
    explicit Buf(std::size_t size, bool omit = false)
        : size_(size),
          p_(static_cast<std::uint8_t*>(std::malloc(size ? size : 1))),
          start_(size),
          omitted_(omit) {
        Reset();
    }
    ~Buf() { std::free(p_); }
    Buf(const Buf&) = delete;
    Buf& operator=(const Buf&) = delete;

    void Reset() {
        std::memset(p_, kSentinel, size_);
        Remember();
    }
    void Remember() {
        if (size_) std::memcpy(start_.data(), p_, size_);
    }
    void SetInt(std::size_t i, int v) {
        std::memcpy(p_ + 4 * i, &v, 4);
        Remember();
    }
    void SetBytes(const void* d, std::size_t n) {
        std::memcpy(p_, d, std::min(n, size_));
        Remember();
    }

    bool omitted() const { return omitted_; }
    std::size_t size() const { return size_; }
    const std::uint8_t* data() const { return p_; }
    int* ints() { return omitted_ ? nullptr : reinterpret_cast<int*>(p_); }
    char* text() { return omitted_ ? nullptr : reinterpret_cast<char*>(p_); }
    unsigned char* bytes() { return omitted_ ? nullptr : p_; }
    unsigned short* u16() { return omitted_ ? nullptr : reinterpret_cast<unsigned short*>(p_); }

    int Int(std::size_t i = 0) const {
        int v;
        std::memcpy(&v, p_ + 4 * i, 4);
        return v;
    }
    bool Untouched() const { return !size_ || std::memcmp(p_, start_.data(), size_) == 0; }
    bool IntUntouched(std::size_t i) const {
        return std::memcmp(p_ + 4 * i, start_.data() + 4 * i, 4) == 0;
    }
    bool Terminated() const { return std::memchr(p_, 0, size_) != nullptr; }

  private:
    std::size_t size_;
    std::uint8_t* p_;
    std::vector<std::uint8_t> start_;
    bool omitted_;
};

// A text argument in a heap block of exactly its length and NUL.
std::unique_ptr<Buf> InText(const std::string& t) {
    auto b = std::make_unique<Buf>(t.size() + 1);
    b->SetBytes(t.c_str(), t.size() + 1);
    return b;
}
// A fixed-field text argument: a terminated text of up to `width` characters,
// the whole field without a terminator, or null.
std::unique_ptr<Buf> FieldArg(Program& P, std::size_t width) {
    switch (P.Small(4)) {
        case 0:
            return nullptr;
        case 1: {
            auto b = std::make_unique<Buf>(width);
            std::vector<std::uint8_t> raw(width);
            P.Copy(raw.data(), width);
            for (auto& c : raw) c = c ? c : '1';
            b->SetBytes(raw.data(), width);
            return b;
        }
        default:
            return InText(P.Text(width));
    }
}
std::string TwoDigits(int v) {
    return {static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)};
}
char* Ptr(const std::unique_ptr<Buf>& b) {
    return b ? b->text() : nullptr;
}

struct Ctx {
    Program P;
    hostile::Terminal& term = hostile::Term();
    TL_HANDLE h = nullptr;
};

std::string& ReportDir() {
    static std::string dir;
    return dir;
}
std::string InDir(const char* name) {
    return ReportDir() + "/" + name;
}
constexpr const char* kReportFiles[] = {
    "log.dat",
    "users.dat",
    "rule.dat",
    "dept.dat",
    "shift.dat",
    "other.dat",
    "out.html",
    "RecAbnormite.dat",
    "AttDay.dat",
    "attexception.dat",
    "AttAbnormite.dat",
    "missing/table.dat",
    "fw.txt",
    "send.bin",
    "a.txt",
    "table.dat",
    // Backup and capture files (with the temporaries of a failed write).
    "backup.arc",
    "backup.arc.part",
    "capture.bmp",
    "capture.bmp.part",
};

// The verdict on one call. The constructor applies the rules every export
// shares; the methods add what the export documents.
class Check {
  public:
    // How a refused single exchange may end: never in 1; in 1 only for
    // REPLY_ERROR (the getters that then report a default); or not judged
    // (results that are values rather than success codes).
    enum Refusal { kStrict, kDefaulted, kValue };

    Check(Ctx& c, const char* name, int r, bool needsSession = true, Refusal rule = kStrict)
        : name_(name), r_(r), null_(needsSession && !c.h) {
        // TL_FUZZ_TRACE=1 lists every call and its result, to read a
        // finding's input.
        static const bool trace = std::getenv("TL_FUZZ_TRACE") != nullptr;
        if (trace) std::fprintf(stderr, "%s -> %d (%d exchanges)\n", name, r, c.term.exchanges);
        if (null_ && r != -1) Fail(name, "a null session did not give -1");
        const hostile::Terminal& t = c.term;
        // While a batch is open, writes are queued: their one exchange may be
        // a refused user-table read, and 1 is still right.
        const bool batchOpen = c.h && tl::as_session(c.h)->batchActive;
        if (r == 1 && rule != kValue && !batchOpen && t.exchanges == 1 && t.onlyReplyKnown &&
            t.lastReply != REPLY_OK && !(rule == kDefaulted && t.lastReply == REPLY_ERROR))
            Fail(name, "reported 1 although its only exchange was refused");
        c.term.StartCall();
    }

    Check& Results(std::initializer_list<int> allowed) {
        if (null_) return *this;
        for (int a : allowed)
            if (r_ == a) return *this;
        Fail(name_, "returned a result it does not document");
    }
    Check& Between(int lo, int hi, std::initializer_list<int> also) {
        if (null_ || (r_ >= lo && r_ <= hi)) return *this;
        return Results(also);
    }
    // Outputs are written only on 1.
    Check& Kept(std::initializer_list<const Buf*> outs) {
        if (r_ == 1) return *this;
        for (const Buf* b : outs)
            if (!b->omitted() && !b->Untouched()) Fail(name_, "wrote an output without success");
        return *this;
    }
    // On 1: ints [0, count) of `b` were written within [lo, hi].
    Check& IntIn(const Buf& b, int lo, int hi, std::size_t count = 1) {
        if (r_ != 1 || b.omitted()) return *this;
        for (std::size_t i = 0; i < count; ++i)
            if (b.Int(i) < lo || b.Int(i) > hi) Fail(name_, "an output is missing or out of range");
        return *this;
    }
    // As IntIn, for outputs the export may leave as they were.
    Check& IntInOrKept(const Buf& b, int lo, int hi) {
        if (r_ != 1 || b.omitted() || b.IntUntouched(0)) return *this;
        return IntIn(b, lo, hi);
    }
    // On 1: a NUL within the buffer.
    Check& Text(const Buf& b) {
        if (r_ == 1 && !b.omitted() && !b.Terminated())
            Fail(name_, "a text output is not terminated within its buffer");
        return *this;
    }
    Check& TextOf(const Buf& b, std::size_t length, bool digits) {
        Text(b);
        if (r_ != 1 || b.omitted()) return *this;
        const char* t = reinterpret_cast<const char*>(b.data());
        if (std::strlen(t) != length) Fail(name_, "a fixed-length text has another length");
        for (std::size_t i = 0; digits && i < length; ++i)
            if (t[i] < '0' || t[i] > '9') Fail(name_, "a digit text holds a non-digit");
        return *this;
    }
    Check& OnSuccess(bool holds, const char* what) {
        if (r_ == 1 && !holds) Fail(name_, what);
        return *this;
    }
    Check& Always(bool holds, const char* what) {
        if (!holds) Fail(name_, what);
        return *this;
    }

  private:
    const char* name_;
    int r_;
    bool null_;
};

// Time outputs, 32-bit each.
struct Clock {
    Buf y, mo, d, h, mi, s;
    explicit Clock(Program& P)
        : y(4, P.OneIn(8)),
          mo(4, P.OneIn(8)),
          d(4, P.OneIn(8)),
          h(4, P.OneIn(8)),
          mi(4, P.OneIn(8)),
          s(4, P.OneIn(8)) {}
    void Reset() {
        for (Buf* b : {&y, &mo, &d, &h, &mi, &s}) b->Reset();
    }
    // The terminal's calendar: 31-day months, 372-day years from 2000, 32 bits.
    void Judge(Check& k) const {
        k.Kept({&y, &mo, &d, &h, &mi, &s})
            .IntIn(y, 2000, 2136)
            .IntIn(mo, 1, 12)
            .IntIn(d, 1, 31)
            .IntIn(h, 0, 23)
            .IntIn(mi, 0, 59)
            .IntIn(s, 0, 59);
    }
};

// Outputs of the classic user readers: name 9, password 6, card 5, 4 zones.
struct ClassicUser {
    Buf pin, name, privilege, enabled, password, card, pin2, group, zones;
    explicit ClassicUser(Program& P)
        : pin(4, P.OneIn(8)),
          name(9, P.OneIn(8)),
          privilege(4, P.OneIn(8)),
          enabled(4, P.OneIn(8)),
          password(6, P.OneIn(8)),
          card(5, P.OneIn(8)),
          pin2(4, P.OneIn(8)),
          group(4, P.OneIn(8)),
          zones(16, P.OneIn(8)) {}
    void Reset() {
        for (Buf* b : {&pin, &name, &privilege, &enabled, &password, &card, &pin2, &group, &zones})
            b->Reset();
    }
    // Zones: entry 0 = -1 alone, or three 6-bit zones and entry 3 = 0 only
    // when all three are set.
    bool ZonesOk() const {
        if (zones.omitted()) return true;
        if (zones.Int(0) == -1)
            return zones.IntUntouched(1) && zones.IntUntouched(2) && zones.IntUntouched(3);
        for (std::size_t i = 0; i < 3; ++i)
            if (zones.Int(i) < 0 || zones.Int(i) > 63) return false;
        const bool all = zones.Int(0) && zones.Int(1) && zones.Int(2);
        return zones.IntUntouched(3) || (all && zones.Int(3) == 0);
    }
    void Judge(Check& k, bool withPin) const {
        k.Kept({&pin, &name, &privilege, &enabled, &password, &card, &pin2, &group, &zones})
            .Text(name)
            .Text(password)
            .IntInOrKept(privilege, 0, 4)
            .IntIn(enabled, 0, 1)
            .IntIn(group, 0, 15)
            .OnSuccess(ZonesOk(), "time zones unpacked wrongly");
        if (withPin) k.IntIn(pin, 0, 65535);
    }
};

// Outputs of the text-ID user readers: user ID 25 (width + NUL), name 24,
// password 9, 4 zones.
struct SsrUser {
    Buf pin, userId, name, privilege, enabled, password, card, group, zones;
    explicit SsrUser(Program& P)
        : pin(4, P.OneIn(8)),
          userId(25, P.OneIn(8)),
          name(24, P.OneIn(8)),
          privilege(4, P.OneIn(8)),
          enabled(4, P.OneIn(8)),
          password(9, P.OneIn(8)),
          card(4, P.OneIn(8)),
          group(4, P.OneIn(8)),
          zones(16, P.OneIn(8)) {}
    void Reset() {
        for (Buf* b :
             {&pin, &userId, &name, &privilege, &enabled, &password, &card, &group, &zones})
            b->Reset();
    }
    // The query has no user-ID output.
    void Judge(Check& k, bool withId) const {
        k.Kept({&pin, &userId, &name, &privilege, &enabled, &password, &card, &group, &zones})
            .IntIn(pin, 0, 65535)
            .Text(name)
            .Text(password)
            .IntInOrKept(privilege, 0, 3)
            .IntIn(enabled, 0, 1)
            .IntIn(group, 0, 255)
            .IntIn(zones, 0, 65535, 4);
        if (withId) k.Text(userId);
    }
};

// ---- Connection ----------------------------------------------------------

void Connect(Ctx& c) {
    static const char* const kNames[] = {"TL_Connect_NET", "TL_Connect_NETEX", "TL_Connect_USB",
                                         "TL_Connect_COM"};
    static const char* const kPlugins[] = {"netwire.dll", "tcpwire.dll", "usbwire.dll",
                                           "serwire.dll"};
    Program& P = c.P;
    const int kind = P.Small(4);
    const int before = c.term.OpenCount();
    bool mayOpen = true;
    TL_HANDLE h = nullptr;
    const auto address = P.OneIn(16) ? nullptr : InText(P.OneIn(4) ? P.Text(20) : "192.168.1.201");
    const int port = P.Pick({4370, 0, 65535, -1});
    const int i1 = P.Int(), i2 = P.Int(), i3 = P.Int();
    switch (kind) {
        case 0:
            h = TL_Connect_NET(Ptr(address), port, i1, i2, i3);
            break;
        case 1:
            h = TL_Connect_NETEX(Ptr(address), port, i1, i2, i3);
            break;
        case 2:
            h = TL_Connect_USB(port, i1, i2, i3);
            break;
        default: {
            const int baud = P.Pick({115200, 9600, 38400, 0, 1, -9600});
            mayOpen = baud != 0;
            const auto init = P.OneIn(2) ? nullptr : InText(P.Text(30));
            h = TL_Connect_COM(Ptr(address), P.Int(), baud, i1, i2, i3, Ptr(init));
            break;
        }
    }
    if (std::getenv("TL_FUZZ_TRACE"))
        std::fprintf(stderr, "%s -> %s\n", kNames[kind], h ? "session" : "null");
    const int now = c.term.OpenCount();
    if (!mayOpen && (h || now != before)) Fail(kNames[kind], "baud 0 opened a transport");
    if (!h && now != before) Fail(kNames[kind], "a failed connect left its transport open");
    if (h && (now != before + 1 || c.term.LastPlugin() != kPlugins[kind]))
        Fail(kNames[kind], "connected without opening its own plug-in");
    c.h = h;
}

void Close(Ctx& c) {
    c.term.StartCall();
    if (!c.h) {
        Check(c, "TL_Close", TL_Close(nullptr));
        return;
    }
    const int before = c.term.OpenCount();
    if (TL_Close(c.h) != 1) Fail("TL_Close", "did not give 1");
    if (c.term.OpenCount() != before - 1) Fail("TL_Close", "did not close its transport");
    c.h = nullptr;
}

// ---- Shared shapes -------------------------------------------------------

// Option-backed texts: the value of a 100-byte "key=value" reply and its
// NUL, so 100 less the key's length.
void OptionText(Ctx& c, const char* name, int (*get)(TL_HANDLE, char*), const char* key,
                Check::Refusal rule) {
    Buf text(100 - std::strlen(key), c.P.OneIn(8));
    Check(c, name, get(c.h, text.text()), true, rule).Results({1, -2, 4}).Kept({&text}).Text(text);
}
void SetText(Ctx& c, const char* name, int (*set)(TL_HANDLE, const char*)) {
    const auto text = c.P.OneIn(8) ? nullptr : InText(c.P.Text(150));
    Check(c, name, set(c.h, Ptr(text))).Results({1, -2, 4});
}
void SetNumber(Ctx& c, const char* name, int (*set)(TL_HANDLE, int)) {
    Check(c, name, set(c.h, c.P.Int())).Results({1, -2});
}
void NoArgs(Ctx& c, const char* name, int (*call)(TL_HANDLE), std::initializer_list<int> results) {
    Check(c, name, call(c.h)).Results(results);
}
void GetInt(Ctx& c, const char* name, int (*get)(TL_HANDLE, int*), int lo, int hi) {
    Buf v(4, c.P.OneIn(8));
    Check(c, name, get(c.h, v.ints())).Results({1, -2}).Kept({&v}).IntIn(v, lo, hi);
}
void GetU16(Ctx& c, const char* name, int (*get)(TL_HANDLE, unsigned short*)) {
    Buf v(2, c.P.OneIn(8));
    Check(c, name, get(c.h, v.u16())).Results({1, -2}).Kept({&v});
}

// The bytes a decodable template's encoding reaches: its own length, and in
// the current layout a grid block that byte 3 announces even when the block
// proves invalid (the length then stops at the block's start, but the block's
// size bytes and cells were part of what the template claims).
std::size_t TemplateReach(const std::vector<std::uint8_t>& b, std::size_t own) {
    if (own < 5 ||
        tl::LayoutOfMagic(static_cast<std::uint16_t>(b[0] | b[1] << 8)) != tl::TemplateLayout::C ||
        !(b[3] & 0x80)) {
        return own;
    }
    const std::size_t n = b[2] | (((b[3] >> 5) & 3u) << 8);
    const std::size_t pos = 5 + n * 5 + (b[3] & 7u) * 4;
    if (pos + 2 > b.size()) return std::max(own, b.size());
    const std::size_t block = 2 + std::size_t{b[pos] + 1u} * (b[pos + 1] + 1u);
    return std::min(b.size(), std::max(own, pos + block));
}

// A template as a caller holds it: as far as its encoding reaches when it
// decodes, else as much as its magic lets the library read; at least `room`
// bytes.
std::unique_ptr<Buf> TemplateArg(Program& P, std::size_t room = 0) {
    std::vector<std::uint8_t> bytes = P.Blob(3000);
    const std::uint16_t magic =
        bytes.size() >= 2 ? static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8) : 0;
    bytes.resize(tl::TemplateBound(magic), 0);
    if (const std::size_t own = tl::TemplateLength(bytes)) bytes.resize(TemplateReach(bytes, own));
    bytes.resize(std::max(bytes.size(), room), 0);
    auto b = std::make_unique<Buf>(bytes.size());
    b->SetBytes(bytes.data(), bytes.size());
    return b;
}

// Short-message content: 320 bytes on TFT terminals, else 60.
std::size_t ContentSize(Ctx& c) {
    int tft = 0;
    return TL_IsTFTMachine(c.h, &tft) == 1 && tft == 1 ? 320 : 60;
}
// Zone lists hold 3 entries, 4 on TFT terminals; the caller asks which.
std::size_t ZoneBytes(Ctx& c) {
    int tft = 0;
    return TL_IsTFTMachine(c.h, &tft) == 1 && tft == 1 ? 16 : 12;
}

// A container as a caller holds it: the bytes its own length field gives
// (bytes 8-9, the same in plain and scrambled form), at least the header.
std::unique_ptr<Buf> ContainerArg(Program& P) {
    std::vector<std::uint8_t> bytes = P.Blob(3000);
    const std::size_t len =
        bytes.size() >= 10 ? static_cast<std::size_t>(bytes[8] << 8 | bytes[9]) : 0;
    bytes.resize(std::clamp<std::size_t>(len, tl::kContainerHeader, tl::kContainerMax), 0);
    auto b = std::make_unique<Buf>(bytes.size());
    b->SetBytes(bytes.data(), bytes.size());
    return b;
}

void Merge(Ctx& c, const char* name, int (*merge)(unsigned char**, int, unsigned char*)) {
    const int count = c.P.Pick({1, 2, 2, 3, 4, 0, -1});
    std::vector<std::unique_ptr<Buf>> inputs;
    const int n = std::max(count, 1);
    Buf array(sizeof(unsigned char*) * static_cast<std::size_t>(n));
    auto** list = reinterpret_cast<unsigned char**>(array.bytes());
    for (int i = 0; i < n; ++i) {
        // Now and then a container listed twice.
        if (i > 0 && c.P.OneIn(8)) {
            list[i] = list[i - 1];
            continue;
        }
        inputs.push_back(ContainerArg(c.P));
        list[i] = inputs.back()->bytes();
    }
    Buf output(tl::kContainerMax, c.P.OneIn(16));
    const int r = merge(c.P.OneIn(16) ? nullptr : list, count, output.bytes());
    Check k(c, name, r, false);
    k.Between(0, static_cast<int>(tl::kContainerMax), {});
    for (const auto& in : inputs) k.Always(in->Untouched(), "changed an input container");
    if (r == 0) k.Always(output.omitted() || output.Untouched(), "wrote the output and failed");
}

void Split(Ctx& c, const char* name, int (*split)(unsigned char*, unsigned char**, int*, int*)) {
    const auto container = ContainerArg(c.P);
    // What the caller learns from the plain form: how many templates, and
    // each one's 12-bit length at bytes 3-4 of it; output i gets that + 24.
    std::vector<std::uint8_t> plain(container->data(), container->data() + container->size());
    std::vector<std::size_t> sizes;
    if (tl::UnscrambleContainer(plain) == 1 && tl::IsPlainContainer(plain)) {
        const int n = plain[10];
        std::size_t q = tl::kContainerHeader;
        for (int i = 0; i < n; ++i) {
            const std::size_t e =
                q + 4 < plain.size()
                    ? static_cast<std::size_t>((plain[q + 3] & 15) << 8 | plain[q + 4])
                    : 0;
            sizes.push_back(e + tl::kContainerHeader);
            q += e;
        }
    }
    const std::size_t n = std::max<std::size_t>(sizes.size(), 1);
    if (sizes.empty()) sizes.push_back(tl::kContainerHeader);
    std::vector<std::unique_ptr<Buf>> outs;
    Buf array(sizeof(unsigned char*) * n);
    auto** list = reinterpret_cast<unsigned char**>(array.bytes());
    for (std::size_t i = 0; i < n; ++i) {
        outs.push_back(std::make_unique<Buf>(sizes[i], c.P.OneIn(32)));
        list[i] = outs.back()->bytes();
    }
    Buf count(4, c.P.OneIn(8)), produced(4 * n, c.P.OneIn(8));
    unsigned char* in = c.P.OneIn(16) ? nullptr : container->bytes();
    unsigned char** outputs = c.P.OneIn(16) ? nullptr : list;
    const int r = split(in, outputs, count.ints(), produced.ints());
    Check k(c, name, r, false);
    // Success is a count above 0; on 0 nothing is written.
    k.Between(0, 255, {}).Always(container->Untouched(), "changed the input container");
    if (r == 0) {
        k.Kept({&count, &produced});
        for (const auto& o : outs)
            k.Always(o->omitted() || o->Untouched(), "wrote an output and failed");
    }
    if (r > 0) {
        k.Always(static_cast<std::size_t>(r) == sizes.size(),
                 "produced another number of containers");
        k.Always(count.omitted() || count.Int() == r, "count output differs from the result");
        for (int i = 0; i < r && !produced.omitted(); ++i)
            k.Always(produced.Int(static_cast<std::size_t>(i)) ==
                         static_cast<int>(sizes[static_cast<std::size_t>(i)]),
                     "a size output differs from the template's length + 24");
    }
}

// A user ID text of up to 25 characters (one more than an ID holds), or null.
std::unique_ptr<Buf> IdArg(Program& P) {
    return P.OneIn(16) ? nullptr : InText(P.Text(25));
}

// A 24-byte ID field, NUL-padded, or null.
std::unique_ptr<Buf> IdFieldArg(Program& P) {
    if (P.OneIn(16)) return nullptr;
    std::string id = P.Text(24);
    id.resize(24, '\0');
    auto b = std::make_unique<Buf>(24);
    b->SetBytes(id.data(), 24);
    return b;
}

// A template to write: a standard template at exactly its own length or,
// where the terminal keeps version-10 containers and the export takes them,
// a container of exactly its length field (at least the 10 bytes holding it).
std::unique_ptr<Buf> WriteArg(Ctx& c, bool containers) {
    if (c.P.OneIn(16)) return nullptr;
    int fp = 0;
    if (!containers || TL_GetKeyOptions(c.h, &fp) != 1 || fp != 10) return TemplateArg(c.P);
    std::vector<std::uint8_t> bytes = c.P.Blob(3000);
    const std::size_t len =
        bytes.size() >= 10 ? static_cast<std::size_t>(bytes[8] << 8 | bytes[9]) : 0;
    bytes.resize(std::clamp<std::size_t>(len, 10, 32768), 0);
    auto b = std::make_unique<Buf>(bytes.size());
    b->SetBytes(bytes.data(), bytes.size());
    return b;
}

int FingerArg(Program& P) {
    return P.Pick({0, 1, 5, 9, 15, 255, 16, -1});
}

// The template readers build their request in the caller's buffer of
// *length bytes and the answer replaces it. *length receives the transport's
// result (Ex: one less) on every result but -1 and 4, or from the cached
// table the template's own length; the flag is written only on 1.
template <typename Read>
void ReadTemplate(Ctx& c, const char* name, bool ex, Read read) {
    const int capacity = c.P.Pick({1024, 2048, 3, 64, 2, 0});
    Buf buffer(static_cast<std::size_t>(std::max(capacity, 1)), c.P.OneIn(16));
    Buf length(4, c.P.OneIn(16)), flag(4, c.P.OneIn(8));
    length.SetInt(0, capacity);
    const int r = read(buffer.bytes(), length.ints(), flag.ints());
    Check k(c, name, r);
    k.Results({1, 0, -2, 4}).Kept({&flag}).IntInOrKept(flag, 0, 255);
    k.IntIn(length, ex ? -1 : 0, ex ? capacity - 1 : capacity);
    if (r == 4 || r == -1) k.Kept({&buffer, &length});
}

// The enrolment starters give 1 when the terminal accepts, else the
// transport's result, which may be any number: only -1 and the argument
// refusal 4 are judged.
void Started(Ctx& c, const char* name, int r, bool argumentsOk) {
    Check(c, name, r, true, Check::kValue)
        .Always(argumentsOk || !c.h || r == 4, "an argument out of range was not refused");
}

// ---- The calls -------------------------------------------------------------

struct Call {
    const char* name;
    void (*run)(Ctx&);
};

// Every export of the public headers is driven from here; an export added to
// a header joins this table.
const Call kCalls[] = {
    // -- connection, events, lock
    {"reconnect",
     [](Ctx& c) {
         Close(c);
         Connect(c);
     }},
    {"TL_LastError",
     [](Ctx& c) {
         if (TL_LastError() != c.term.lastError)
             Fail("TL_LastError", "does not pass the transport's error through");
     }},
    {"TL_RegEvent",
     [](Ctx& c) {
         Check(c, "TL_RegEvent", TL_RegEvent(c.h, c.P.Int())).Results({1, -2});
     }},
    {"TL_ReadRTLog",
     [](Ctx& c) {
         NoArgs(c, "TL_ReadRTLog", TL_ReadRTLog, {1, -2, -100, 101});
     }},
    {"TL_GetRTLog",
     [](Ctx& c) {
         Buf kind(4, c.P.OneIn(8)), data(36, c.P.OneIn(8));
         for (int i = 0; i < kMaxRecords; ++i) {
             kind.Reset();
             data.Reset();
             const int r = TL_GetRTLog(c.h, kind.ints(), data.bytes());
             Check(c, "TL_GetRTLog", r).Results({1, 0}).Kept({&kind, &data}).IntIn(kind, 0, 65535);
             if (r != 1) break;
         }
     }},
    {"TL_EnableDevice",
     [](Ctx& c) {
         NoArgs(c, "TL_EnableDevice", TL_EnableDevice, {1, -2});
     }},
    {"TL_DisableDevice",
     [](Ctx& c) {
         Check(c, "TL_DisableDevice", TL_DisableDevice(c.h, c.P.Int())).Results({1, -2});
     }},

    // -- bulk table reads and log iteration
    {"TL_ReadLog",
     [](Ctx& c) {
         Check(c, "TL_ReadLog", TL_ReadLog(c.h, c.P.Pick({1, 0, 2, 3, -1}))).Results({1, 0, -2});
     }},
    {"TL_ReadLogEx",
     [](Ctx& c) {
         const int mode = c.P.Pick({2, 1, 0, 3});
         Check(c, "TL_ReadLogEx", TL_ReadLogEx(c.h, mode, c.P.Int())).Results({1, 0, -2});
     }},
    {"TL_ReadOpLog",
     [](Ctx& c) {
         Check(c, "TL_ReadOpLog", TL_ReadOpLog(c.h, c.P.Pick({1, 0, 2}))).Results({1, 0, -2});
     }},
    {"TL_ReadTempData",
     [](Ctx& c) {
         NoArgs(c, "TL_ReadTempData", TL_ReadTempData, {1, 0, -2});
     }},
    {"TL_ReadUserInfo",
     [](Ctx& c) {
         NoArgs(c, "TL_ReadUserInfo", TL_ReadUserInfo, {1, 0, -2});
     }},
    {"TL_ReadData",
     [](Ctx& c) {
         // The table lands in the caller's buffer whatever the outcome, so only
         // the result is judged.
         const int size = c.P.Pick({4096, 1, 4, 8, 100, 0, -1});
         Buf buffer(static_cast<std::size_t>(std::max(size, 1)), c.P.OneIn(8));
         const std::uint8_t table = static_cast<std::uint8_t>(c.P.Pick({1, 2, 4, 5, 0, 7}));
         buffer.SetBytes(&table, 1);
         Check(c, "TL_ReadData", TL_ReadData(c.h, buffer.bytes(), size)).Results({1, -2, 4});
     }},
    {"TL_GetLog",
     [](Ctx& c) {
         Buf pin(4, c.P.OneIn(8)), mode(1, c.P.OneIn(8)), state(1, c.P.OneIn(8));
         Clock t(c.P);
         for (int i = 0; i < kMaxRecords; ++i) {
             for (Buf* b : {&pin, &mode, &state}) b->Reset();
             t.Reset();
             const int r = TL_GetLog(c.h, pin.ints(), mode.bytes(), state.bytes(), t.y.ints(),
                                     t.mo.ints(), t.d.ints(), t.h.ints(), t.mi.ints(), t.s.ints());
             Check k(c, "TL_GetLog", r);
             k.Results({1, 0, -2}).Kept({&pin, &mode, &state});
             t.Judge(k);
             if (r != 1) break;
         }
     }},
    {"TL_GetExtLog",
     [](Ctx& c) {
         Buf pin(4, c.P.OneIn(8)), mode(1, c.P.OneIn(8)), state(1, c.P.OneIn(8));
         Buf extraCode(4, c.P.OneIn(8)), extraWord(4, c.P.OneIn(8));
         Clock t(c.P);
         for (int i = 0; i < kMaxRecords; ++i) {
             for (Buf* b : {&pin, &mode, &state, &extraCode, &extraWord}) b->Reset();
             t.Reset();
             const int r = TL_GetExtLog(c.h, pin.ints(), mode.bytes(), state.bytes(), t.y.ints(),
                                        t.mo.ints(), t.d.ints(), t.h.ints(), t.mi.ints(),
                                        t.s.ints(), extraCode.ints(), extraWord.ints());
             Check k(c, "TL_GetExtLog", r);
             k.Results({1, 0, -2})
                 .Kept({&pin, &mode, &state, &extraCode, &extraWord})
                 .IntIn(extraWord, 0, 65535);
             t.Judge(k);
             if (r != 1) break;
         }
     }},
    {"TL_SSR_GetLog",
     [](Ctx& c) {
         // A 24-character ID fills idText without a terminator.
         Buf id(24, c.P.OneIn(8)), mode(1, c.P.OneIn(8)), state(1, c.P.OneIn(8));
         Buf extraCode(4, c.P.OneIn(8));
         Clock t(c.P);
         for (int i = 0; i < kMaxRecords; ++i) {
             for (Buf* b : {&id, &mode, &state, &extraCode}) b->Reset();
             t.Reset();
             const int r =
                 TL_SSR_GetLog(c.h, id.text(), mode.bytes(), state.bytes(), t.y.ints(), t.mo.ints(),
                               t.d.ints(), t.h.ints(), t.mi.ints(), t.s.ints(), extraCode.ints());
             Check k(c, "TL_SSR_GetLog", r);
             k.Results({1, 0, -2}).Kept({&id, &mode, &state, &extraCode});
             t.Judge(k);
             if (r != 1) break;
         }
     }},
    {"TL_GetOpLog",
     [](Ctx& c) {
         Buf op(4, c.P.OneIn(8)), code(4, c.P.OneIn(8)), params(16, c.P.OneIn(8));
         Clock t(c.P);
         for (int i = 0; i < kMaxRecords; ++i) {
             for (Buf* b : {&op, &code, &params}) b->Reset();
             t.Reset();
             const int r =
                 TL_GetOpLog(c.h, op.ints(), code.ints(), params.ints(), t.y.ints(), t.mo.ints(),
                             t.d.ints(), t.h.ints(), t.mi.ints(), t.s.ints());
             Check k(c, "TL_GetOpLog", r);
             k.Results({1, 0, -2}).Kept({&op, &code, &params}).IntIn(code, 0, 255);
             t.Judge(k);
             if (r != 1) break;
         }
     }},
    {"TL_SSR_GetOpLog",
     [](Ctx& c) {
         Buf op(24, c.P.OneIn(8)), user(24, c.P.OneIn(8)), code(4, c.P.OneIn(8));
         Buf time(17, c.P.OneIn(8)), params(12, c.P.OneIn(8));
         for (int i = 0; i < kMaxRecords; ++i) {
             for (Buf* b : {&op, &user, &code, &time, &params}) b->Reset();
             const int r = TL_SSR_GetOpLog(c.h, op.text(), user.text(), code.ints(), time.text(),
                                           params.ints());
             Check(c, "TL_SSR_GetOpLog", r)
                 .Results({1, 0, -2})
                 .Kept({&op, &user, &code, &time, &params})
                 .IntIn(code, 0, 255)
                 .IntIn(params, 0, 65535, 3)
                 .TextOf(time, 16, false);
             if (r != 1) break;
         }
     }},

    // -- users
    {"TL_GetUserInfo",
     [](Ctx& c) {
         ClassicUser u(c.P);
         for (int i = 0; i < kMaxRecords; ++i) {
             u.Reset();
             const int r = TL_GetUserInfo(c.h, u.pin.ints(), u.name.text(), u.privilege.ints(),
                                          u.enabled.ints(), u.password.text(), u.card.bytes(),
                                          u.pin2.ints(), u.group.ints(), u.zones.ints());
             Check k(c, "TL_GetUserInfo", r);
             k.Results({1, 0, -2, 4});
             u.Judge(k, true);
             if (r != 1) break;
         }
     }},
    {"TL_QueryUserInfo",
     [](Ctx& c) {
         ClassicUser u(c.P);
         const int pin = c.P.OneIn(2) ? 0 : c.P.Int();
         u.pin2.SetInt(0, c.P.Int());  // the PIN2 looked up when pin is 0
         const int r = TL_QueryUserInfo(c.h, pin, u.name.text(), u.privilege.ints(),
                                        u.enabled.ints(), u.password.text(), u.card.bytes(),
                                        u.pin2.ints(), u.group.ints(), u.zones.ints());
         Check k(c, "TL_QueryUserInfo", r);
         k.Results({1, 0, -2, 4});
         u.Judge(k, false);
     }},
    {"TL_QueryUserByPIN2",
     [](Ctx& c) {
         Check(c, "TL_QueryUserByPIN2", TL_QueryUserByPIN2(c.h, c.P.Int()), true, Check::kValue)
             .Between(0, 65535, {-2});
     }},
    {"TL_QueryUserByCard",
     [](Ctx& c) {
         Buf card(5, c.P.OneIn(8));
         std::uint8_t bytes[5];
         c.P.Copy(bytes, 5);
         card.SetBytes(bytes, 5);
         Check(c, "TL_QueryUserByCard", TL_QueryUserByCard(c.h, card.bytes()), true, Check::kValue)
             .Between(0, 65535, {-2, 4})
             .Always(card.Untouched(), "changed the caller's card");
     }},
    {"TL_GetUserID",
     [](Ctx& c) {
         Check(c, "TL_GetUserID", TL_GetUserID(c.h, c.P.Int()), true, Check::kValue)
             .Between(0, 65535, {-1, -2});
     }},
    {"TL_GetUserPIN2",
     [](Ctx& c) {
         // Any 32-bit PIN2 is a possible result.
         Check(c, "TL_GetUserPIN2", TL_GetUserPIN2(c.h, c.P.Int()), true, Check::kValue);
     }},
    {"TL_SetUserInfo",
     [](Ctx& c) {
         Program& P = c.P;
         const int pin = P.OneIn(2) ? 0 : P.Int();
         const auto name = FieldArg(P, 8);
         const int privilege = P.Pick({0, 1, 2, 3, 4, -1});
         const int enabled = P.Pick({1, 0, 2});
         const auto password = FieldArg(P, 5);
         Buf card(5, P.OneIn(4)), zones(12, P.OneIn(4));
         std::uint8_t bytes[5];
         P.Copy(bytes, 5);
         card.SetBytes(bytes, 5);
         for (std::size_t i = 0; i < 3; ++i) zones.SetInt(i, P.Pick({0, 1, 2, 63, 64, -1}));
         const int pin2 = P.Int(), group = P.Int();
         Check(c, "TL_SetUserInfo",
               TL_SetUserInfo(c.h, pin, Ptr(name), privilege, enabled, Ptr(password), card.bytes(),
                              pin2, group, zones.ints()))
             .Results({1, 0, -2, 4, -10});
     }},
    {"TL_DelUser",
     [](Ctx& c) {
         Check(c, "TL_DelUser", TL_DelUser(c.h, c.P.Int())).Results({1, 0, -2});
     }},
    {"TL_ClearAdministrators",
     [](Ctx& c) {
         NoArgs(c, "TL_ClearAdministrators", TL_ClearAdministrators, {1, -2});
     }},
    {"TL_GetUserGroup",
     [](Ctx& c) {
         Buf group(4, c.P.OneIn(8));
         Check(c, "TL_GetUserGroup", TL_GetUserGroup(c.h, c.P.Int(), group.ints()))
             .Results({1, -2, 4})
             .Kept({&group})
             .IntIn(group, 0, 255);
     }},
    {"TL_SetUserGroup",
     [](Ctx& c) {
         const int number = c.P.Int();
         Check(c, "TL_SetUserGroup", TL_SetUserGroup(c.h, number, c.P.Int())).Results({1, 0, -2});
     }},
    {"TL_GetUserTZs",
     [](Ctx& c) {
         Buf zones(ZoneBytes(c), c.P.OneIn(8)), flag(4, c.P.OneIn(8));
         if (c.P.OneIn(2)) zones.SetInt(0, -1);  // asks whether the user follows the group
         Check(c, "TL_GetUserTZs", TL_GetUserTZs(c.h, c.P.Int(), zones.ints(), flag.ints()))
             .Results({1, 0, -2, 4})
             .Kept({&zones, &flag})
             .IntIn(flag, 0, 65535);
     }},
    {"TL_SetUserTZs",
     [](Ctx& c) {
         Buf zones(ZoneBytes(c), c.P.OneIn(4));
         for (std::size_t i = 0; i < zones.size() / 4; ++i)
             zones.SetInt(i, c.P.Pick({0, 1, 3, 50, -1}));
         Check(c, "TL_SetUserTZs", TL_SetUserTZs(c.h, c.P.Int(), zones.ints())).Results({1, 0, -2});
     }},
    {"TL_GetUserInfoEx",
     [](Ctx& c) {
         Buf value(4, c.P.OneIn(8));
         const int pin = c.P.Int();
         Check(c, "TL_GetUserInfoEx", TL_GetUserInfoEx(c.h, pin, c.P.Int(), value.ints()))
             .Results({1, 0, -2, 4})
             .Kept({&value})
             .IntIn(value, 0, 255);
     }},
    {"TL_SetUserInfoEx",
     [](Ctx& c) {
         const int pin = c.P.Int(), pin2 = c.P.Int();
         Check(c, "TL_SetUserInfoEx", TL_SetUserInfoEx(c.h, pin, pin2, c.P.Int()))
             .Results({1, 0, -2});
     }},
    {"TL_DeleteUserInfoEx",
     [](Ctx& c) {
         const int pin = c.P.OneIn(2) ? 0 : c.P.Int();
         Check(c, "TL_DeleteUserInfoEx", TL_DeleteUserInfoEx(c.h, pin, c.P.Int()))
             .Results({1, 0, -2});
     }},
    {"SSR_TL_GetUserInfo",
     [](Ctx& c) {
         SsrUser u(c.P);
         for (int i = 0; i < kMaxRecords; ++i) {
             u.Reset();
             const int r =
                 SSR_TL_GetUserInfo(c.h, u.pin.ints(), u.userId.text(), u.name.text(),
                                    u.privilege.ints(), u.enabled.ints(), u.password.text(),
                                    u.card.ints(), u.group.ints(), u.zones.ints());
             Check k(c, "SSR_TL_GetUserInfo", r);
             k.Results({1, 0, -2, 4});
             u.Judge(k, true);
             if (r != 1) break;
         }
     }},
    {"SSR_TL_QueryUserInfo",
     [](Ctx& c) {
         SsrUser u(c.P);
         const auto id = c.P.OneIn(16) ? nullptr : InText(c.P.Text(25));
         const int r = SSR_TL_QueryUserInfo(c.h, Ptr(id), u.name.text(), u.privilege.ints(),
                                            u.enabled.ints(), u.password.text(), u.card.ints(),
                                            u.group.ints(), u.zones.ints(), u.pin.ints());
         Check k(c, "SSR_TL_QueryUserInfo", r);
         k.Results({1, 0, -2, 4});
         u.Judge(k, false);
     }},
    {"SSR_TL_SetUserInfo",
     [](Ctx& c) {
         Program& P = c.P;
         const auto id = P.OneIn(16) ? nullptr : InText(P.Text(26));
         const auto name = FieldArg(P, 24);
         const int privilege = P.Pick({0, 1, 2, 3, 4, -1});
         const int enabled = P.Pick({1, 0});
         const auto password = FieldArg(P, 8);
         Buf card(4, P.OneIn(4)), zones(16, P.OneIn(4));
         card.SetInt(0, P.Int());
         for (std::size_t i = 0; i < 4; ++i) zones.SetInt(i, P.Pick({0, 1, 2, 50, 65536, -1}));
         const int group = P.Int();
         Check(c, "SSR_TL_SetUserInfo",
               SSR_TL_SetUserInfo(c.h, Ptr(id), Ptr(name), privilege, enabled, Ptr(password),
                                  card.ints(), group, zones.ints()))
             .Results({1, 0, -2, 4, -10});
     }},
    {"SSR_TL_DelUser",
     [](Ctx& c) {
         const auto id = c.P.OneIn(16) ? nullptr : InText(c.P.Text(25));
         Check(c, "SSR_TL_DelUser", SSR_TL_DelUser(c.h, Ptr(id))).Results({1, 0, -2, 4});
     }},
    {"SSR_TL_DelUserExt",
     [](Ctx& c) {
         const auto id = c.P.OneIn(16) ? nullptr : InText(c.P.Text(25));
         Check(c, "SSR_TL_DelUserExt", SSR_TL_DelUserExt(c.h, Ptr(id))).Results({1, 0, -2, 4});
     }},

    // -- fingerprint templates on the terminal, batch update
    {"TL_GetUserTmp",
     [](Ctx& c) {
         const int number = c.P.Int(), finger = FingerArg(c.P);
         ReadTemplate(c, "TL_GetUserTmp", false, [&](unsigned char* b, int* l, int*) {
             return TL_GetUserTmp(c.h, number, finger, b, l);
         });
     }},
    {"TL_QueryUserTemp",
     [](Ctx& c) {
         const int number = c.P.Int(), finger = FingerArg(c.P);
         ReadTemplate(c, "TL_QueryUserTemp", false, [&](unsigned char* b, int* l, int*) {
             return TL_QueryUserTemp(c.h, number, finger, b, l);
         });
     }},
    {"TL_GetUserTmpEx",
     [](Ctx& c) {
         const auto id = IdArg(c.P);
         const int finger = FingerArg(c.P);
         ReadTemplate(c, "TL_GetUserTmpEx", true, [&](unsigned char* b, int* l, int* f) {
             return TL_GetUserTmpEx(c.h, Ptr(id), finger, f, b, l);
         });
     }},
    {"TL_QueryUserTempEx",
     [](Ctx& c) {
         const auto id = IdArg(c.P);
         const int finger = FingerArg(c.P);
         ReadTemplate(c, "TL_QueryUserTempEx", true, [&](unsigned char* b, int* l, int* f) {
             return TL_QueryUserTempEx(c.h, Ptr(id), finger, f, b, l);
         });
     }},
    {"SSR_TL_GetUserTmp",
     [](Ctx& c) {
         const auto id = IdArg(c.P);
         const int finger = FingerArg(c.P);
         ReadTemplate(c, "SSR_TL_GetUserTmp", false, [&](unsigned char* b, int* l, int*) {
             return SSR_TL_GetUserTmp(c.h, Ptr(id), finger, b, l);
         });
     }},
    {"SSR_TL_QueryUserTemp",
     [](Ctx& c) {
         const auto id = IdArg(c.P);
         const int finger = FingerArg(c.P);
         ReadTemplate(c, "SSR_TL_QueryUserTemp", false, [&](unsigned char* b, int* l, int*) {
             return SSR_TL_QueryUserTemp(c.h, Ptr(id), finger, b, l);
         });
     }},
    {"TL_SetUserTmp",
     [](Ctx& c) {
         const int number = c.P.Int(), finger = FingerArg(c.P);
         const auto tmp = WriteArg(c, false);
         Check(c, "TL_SetUserTmp", TL_SetUserTmp(c.h, number, finger, tmp ? tmp->bytes() : nullptr))
             .Results({1, 0, -2, -3, -4, -5, -100, 4});
     }},
    {"TL_AppendUserTmp",
     [](Ctx& c) {
         const int number = c.P.Int();
         const auto tmp = WriteArg(c, false);
         Check(c, "TL_AppendUserTmp", TL_AppendUserTmp(c.h, number, tmp ? tmp->bytes() : nullptr))
             .Results({1, 0, -2, -3, -4, -100, 4});
     }},
    {"TL_SetUserTmpEx",
     [](Ctx& c) {
         const auto id = IdArg(c.P);
         const int finger = FingerArg(c.P), flag = c.P.Pick({0, 1, 3});
         const auto tmp = WriteArg(c, true);
         Check(c, "TL_SetUserTmpEx",
               TL_SetUserTmpEx(c.h, Ptr(id), finger, flag, tmp ? tmp->bytes() : nullptr))
             .Results({1, 0, -2, -3, -4, -5, -100, 4});
     }},
    {"SSR_TL_SetUserTmp",
     [](Ctx& c) {
         const auto id = IdArg(c.P);
         const int finger = FingerArg(c.P);
         const auto tmp = WriteArg(c, true);
         Check(c, "SSR_TL_SetUserTmp",
               SSR_TL_SetUserTmp(c.h, Ptr(id), finger, tmp ? tmp->bytes() : nullptr))
             .Results({1, 0, -2, -3, -4, -5, -100, 4});
     }},
    {"SSR_TL_SetUserTmpExt",
     [](Ctx& c) {
         const int flag = c.P.Pick({0, 1, 3});
         const auto id = IdFieldArg(c.P);
         const int finger = FingerArg(c.P);
         const auto tmp = WriteArg(c, false);
         Check(c, "SSR_TL_SetUserTmpExt",
               SSR_TL_SetUserTmpExt(c.h, flag, Ptr(id), finger, tmp ? tmp->bytes() : nullptr))
             .Results({1, 0, -2, -3, -4, -5, -100, 4});
     }},
    {"TL_DelUserTmp",
     [](Ctx& c) {
         const int number = c.P.Int();
         Check(c, "TL_DelUserTmp", TL_DelUserTmp(c.h, number, FingerArg(c.P))).Results({1, 0, -2});
     }},
    {"SSR_TL_DelUserTmp",
     [](Ctx& c) {
         const auto id = IdArg(c.P);
         Check(c, "SSR_TL_DelUserTmp", SSR_TL_DelUserTmp(c.h, Ptr(id), FingerArg(c.P)))
             .Results({1, 0, -2, 4});
     }},
    {"SSR_TL_DelUserTmpExt",
     [](Ctx& c) {
         const auto id = IdFieldArg(c.P);
         Check(c, "SSR_TL_DelUserTmpExt", SSR_TL_DelUserTmpExt(c.h, Ptr(id), FingerArg(c.P)))
             .Results({1, 0, -2, 4});
     }},
    {"TL_TestUserTmp",
     [](Ctx& c) {
         Buf number(4, c.P.OneIn(16));
         const auto tmp = c.P.OneIn(16) ? nullptr : TemplateArg(c.P);
         Check(c, "TL_TestUserTmp",
               TL_TestUserTmp(c.h, number.ints(), tmp ? tmp->bytes() : nullptr))
             .Results({1, 0, -2, -3, 4})
             .Kept({&number})
             .Always(!tmp || tmp->Untouched(), "changed the template");
     }},
    {"TL_BeginBatchUpdate",
     [](Ctx& c) {
         Check(c, "TL_BeginBatchUpdate", TL_BeginBatchUpdate(c.h, c.P.Pick({1, 0})))
             .Results({1, -100, -2});
     }},
    {"TL_BatchUpdate",
     [](Ctx& c) {
         NoArgs(c, "TL_BatchUpdate", TL_BatchUpdate, {1, 0, -2, -100});
     }},
    {"TL_CancelBatchUpdate",
     [](Ctx& c) { NoArgs(c, "TL_CancelBatchUpdate", TL_CancelBatchUpdate, {1}); }},

    // -- template utilities (no session)
    {"TL_FPTempLength",
     [](Ctx& c) {
         const auto tmp = TemplateArg(c.P);
         Buf length(4, c.P.OneIn(16));
         const int most = static_cast<int>(tmp->size());
         const int r = TL_FPTempLength(tmp->bytes(), length.ints());
         Check(c, "TL_FPTempLength", r, false)
             .Results({1, 4})
             .Always(tmp->Untouched(), "changed the template")
             .IntIn(length, 1, most)
             .Always(r == 1 || length.omitted() || length.Int() == 0,
                     "an undecodable template's length is not 0");
     }},
    {"TL_SetFPTempLength",
     [](Ctx& c) {
         const int maxLength = c.P.Pick({600, 400, 200, 100, 1000, 2400, 50, 0, -1, INT_MAX});
         const std::size_t room = std::min<std::size_t>(
             static_cast<std::size_t>(std::max(maxLength, 0)), tl::kLayoutCMaxBytes);
         const auto tmp = TemplateArg(c.P, room);
         const int r = TL_SetFPTempLength(tmp->bytes(), maxLength);
         int length = 0;
         Check(c, "TL_SetFPTempLength", r, false)
             .Results({1, 4})
             .Always(r == 1 || tmp->Untouched(), "changed the template and failed")
             .OnSuccess(TL_FPTempLength(tmp->bytes(), &length) == 1 && length <= maxLength,
                        "the shrunk template is not a template within the limit");
     }},
    {"TL_FPTempConvert",
     [](Ctx& c) {
         const auto source = TemplateArg(c.P);
         Buf destination(1023), length(4);
         Check(c, "TL_FPTempConvert",
               TL_FPTempConvert(source->bytes(), destination.bytes(), length.ints()), false)
             .Results({1, 4})
             .Kept({&destination, &length})
             .Always(source->Untouched(), "changed the source")
             .IntIn(length, 51, 1023);
     }},
    {"TL_FPTempConvertNew",
     [](Ctx& c) {
         // The source is rewritten with up to W bytes when W asks for shrinking.
         const int wanted = c.P.Pick({0, 600, 300, 120, 101, 2047, 2048, 100, 5000, -1});
         const bool shrinks = wanted > 100 && wanted < 2048;
         const auto source = TemplateArg(c.P, shrinks ? static_cast<std::size_t>(wanted) : 0);
         Buf destination(2048), length(4);
         length.SetInt(0, wanted);
         Check(c, "TL_FPTempConvertNew",
               TL_FPTempConvertNew(source->bytes(), destination.bytes(), length.ints()), false)
             .Results({1, 4})
             .Kept({&destination, &length})
             .IntIn(length, 51, shrinks ? wanted : 2048);
     }},
    {"FRILEX_MERGE_TEMPLATE",
     [](Ctx& c) { Merge(c, "FRILEX_MERGE_TEMPLATE", FRILEX_MERGE_TEMPLATE); }},
    {"TL_MergeTemplate", [](Ctx& c) { Merge(c, "TL_MergeTemplate", TL_MergeTemplate); }},
    {"FRILEX_SPLIT_TEMPLATE",
     [](Ctx& c) { Split(c, "FRILEX_SPLIT_TEMPLATE", FRILEX_SPLIT_TEMPLATE); }},
    {"TL_SplitTemplate", [](Ctx& c) { Split(c, "TL_SplitTemplate", TL_SplitTemplate); }},

    // -- device information and options
    {"TL_GetDeviceInfo",
     [](Ctx& c) {
         const int index =
             c.P.OneIn(2)
                 ? 1 + c.P.Small(69)
                 : c.P.Pick({8999, -6, -5, -4, -3, -2, -1, 0, 1, 10, 11, 12, 65, 70, -7, 10003});
         if (index == 8999) {
             // A 100-byte text buffer holding the key; it receives key=value.
             Buf text(100, c.P.OneIn(16));
             const std::string key = c.P.OneIn(8) ? std::string(100, 'K') : c.P.Text(99);
             text.SetBytes(key.c_str(), std::min(key.size() + 1, text.size()));
             Check(c, "TL_GetDeviceInfo", TL_GetDeviceInfo(c.h, index, text.ints()))
                 .Results({1, -2, 4})
                 .Kept({&text})
                 .Text(text);
         } else if (index == -5) {
             // A table read into value, whose second word is its size.
             const int size = c.P.Pick({8, 100, 4096});
             Buf buffer(static_cast<std::size_t>(size));
             buffer.SetInt(0, c.P.Pick({1, 2, 4, 5}));
             buffer.SetInt(1, c.P.Pick({size, size / 2, 0, -1}));
             Check(c, "TL_GetDeviceInfo", TL_GetDeviceInfo(c.h, index, buffer.ints()))
                 .Results({1, -2, 4});
         } else {
             Buf value(4, c.P.OneIn(8));
             value.SetInt(0, c.P.Int());
             const int r = TL_GetDeviceInfo(c.h, index, value.ints());
             Check k(c, "TL_GetDeviceInfo", r);
             k.Results({1, -2, 4});
             // The handle items report through *value with result 4.
             const bool handleItem = index > -5 && index < 0;
             if (!handleItem || !c.h) k.Kept({&value});
         }
     }},
    {"TL_SetDeviceInfo",
     [](Ctx& c) {
         const int index =
             c.P.OneIn(2) ? 1 + c.P.Small(69)
                          : c.P.Pick({8999, 18999, 1, 10, 11, 12, 0, 70, -3, 10009, -10003, 9000});
         const bool text = index % 10000 == 8999;
         const auto assignment = text && !c.P.OneIn(8) ? InText(c.P.Text(120)) : nullptr;
         const intptr_t value = text ? reinterpret_cast<intptr_t>(Ptr(assignment)) : c.P.Int();
         Check(c, "TL_SetDeviceInfo", TL_SetDeviceInfo(c.h, index, value))
             .Results({1, -100, 4, -2});
     }},
    {"TL_GetDeviceStrInfo",
     [](Ctx& c) {
         // The value of a 100-byte option reply, the shortest key taken out.
         Buf value(97, c.P.OneIn(16));
         const int index = c.P.OneIn(8) ? c.P.Pick({0, 12, 70, -1}) : 1 + c.P.Small(69);
         Check(c, "TL_GetDeviceStrInfo", TL_GetDeviceStrInfo(c.h, index, value.text()))
             .Results({1, -2, 4})
             .Kept({&value})
             .Text(value);
     }},
    {"TL_GetSysOption",
     [](Ctx& c) {
         static const char* const kKeys[] = {"~OS", "~Platform", "~ExtendFmt", "IPAddress", ""};
         // The key (an unterminated 100 bytes now and then); the value gets 100
         // less the key's length.
         std::unique_ptr<Buf> key;
         if (c.P.OneIn(16)) {
             key = std::make_unique<Buf>(100);
             key->SetBytes(std::string(100, 'K').data(), 100);
         } else if (!c.P.OneIn(16)) {
             key = InText(c.P.OneIn(2) ? kKeys[c.P.Small(5)] : c.P.Text(110));
         }
         const std::size_t keyLength = key ? strnlen(key->text(), key->size()) : 100;
         Buf value(keyLength < 100 ? 100 - keyLength : 100, c.P.OneIn(16));
         Check(c, "TL_GetSysOption", TL_GetSysOption(c.h, Ptr(key), value.text()))
             .Results({1, -2, 4})
             .Kept({&value})
             .Text(value);
     }},
    {"TL_SetSysOption",
     [](Ctx& c) {
         std::unique_ptr<Buf> key;
         if (!c.P.OneIn(16)) {
             const std::string hidden = c.P.OneIn(2) ? "~" : "";
             key = InText(hidden + c.P.Text(60));
         }
         const auto value = c.P.OneIn(16) ? nullptr : InText(c.P.Text(150));
         Check(c, "TL_SetSysOption", TL_SetSysOption(c.h, Ptr(key), Ptr(value)))
             .Results({1, 4, -2});
     }},
    {"TL_RefreshOptions",
     [](Ctx& c) {
         NoArgs(c, "TL_RefreshOptions", TL_RefreshOptions, {1, -2});
     }},

    // -- identity, clock and network
    {"TL_GetFirmwareVersion",
     [](Ctx& c) {
         Buf version(50, c.P.OneIn(16));
         Check(c, "TL_GetFirmwareVersion", TL_GetFirmwareVersion(c.h, version.text()))
             .Results({1, -2, 4})
             .Kept({&version})
             .Text(version);
     }},
    {"TL_GetSerialNumber",
     [](Ctx& c) {
         OptionText(c, "TL_GetSerialNumber", TL_GetSerialNumber, "~SerialNumber",
                    Check::kDefaulted);
     }},
    {"TL_GetProductName",
     [](Ctx& c) {
         OptionText(c, "TL_GetProductName", TL_GetProductName, "~DeviceName", Check::kDefaulted);
     }},
    {"TL_GetVendor",
     [](Ctx& c) { OptionText(c, "TL_GetVendor", TL_GetVendor, "~OEMVendor", Check::kDefaulted); }},
    {"TL_GetSensorSN",
     [](Ctx& c) { OptionText(c, "TL_GetSensorSN", TL_GetSensorSN, "GUID", Check::kDefaulted); }},
    {"TL_ReadCustData",
     [](Ctx& c) {
         OptionText(c, "TL_ReadCustData", TL_ReadCustData, "~CustData", Check::kDefaulted);
     }},
    {"TL_GetWiegandFmt",
     [](Ctx& c) {
         OptionText(c, "TL_GetWiegandFmt", TL_GetWiegandFmt, "WiegandFmt", Check::kDefaulted);
     }},
    {"TL_GetIPAddress",
     [](Ctx& c) {
         OptionText(c, "TL_GetIPAddress", TL_GetIPAddress, "IPAddress", Check::kStrict);
     }},
    {"TL_WriteCustData", [](Ctx& c) { SetText(c, "TL_WriteCustData", TL_WriteCustData); }},
    {"TL_SetWiegandFmt", [](Ctx& c) { SetText(c, "TL_SetWiegandFmt", TL_SetWiegandFmt); }},
    {"TL_SetIPAddress", [](Ctx& c) { SetText(c, "TL_SetIPAddress", TL_SetIPAddress); }},
    {"TL_GetDevicePort", [](Ctx& c) { GetU16(c, "TL_GetDevicePort", TL_GetDevicePort); }},
    {"TL_SetDevicePort", [](Ctx& c) { SetNumber(c, "TL_SetDevicePort", TL_SetDevicePort); }},
    {"TL_GetDeviceNumber", [](Ctx& c) { GetU16(c, "TL_GetDeviceNumber", TL_GetDeviceNumber); }},
    {"TL_SetDeviceNumber", [](Ctx& c) { SetNumber(c, "TL_SetDeviceNumber", TL_SetDeviceNumber); }},
    {"TL_GetLanguage",
     [](Ctx& c) { GetInt(c, "TL_GetLanguage", TL_GetLanguage, INT_MIN, INT_MAX); }},
    {"TL_SetLanguage", [](Ctx& c) { SetNumber(c, "TL_SetLanguage", TL_SetLanguage); }},
    {"TL_SetDeviceCommPwd",
     [](Ctx& c) { SetNumber(c, "TL_SetDeviceCommPwd", TL_SetDeviceCommPwd); }},
    {"TL_GetCardFun",
     [](Ctx& c) {
         // On -2 the output may keep what the first option read stored.
         Buf function(4, c.P.OneIn(8));
         const int r = TL_GetCardFun(c.h, function.ints());
         Check(c, "TL_GetCardFun", r).Results({1, -2}).IntIn(function, 0, 2);
         if (!c.h && !function.Untouched()) Fail("TL_GetCardFun", "wrote without a session");
     }},
    {"TL_GetTime",
     [](Ctx& c) {
         Clock t(c.P);
         Check k(c, "TL_GetTime",
                 TL_GetTime(c.h, t.y.ints(), t.mo.ints(), t.d.ints(), t.h.ints(), t.mi.ints(),
                            t.s.ints()));
         k.Results({1, -2});
         t.Judge(k);
     }},
    {"TL_SetTime",
     [](Ctx& c) {
         Program& P = c.P;
         const int y = P.Int(), mo = P.Int(), d = P.Int(), h = P.Int(), mi = P.Int(), s = P.Int();
         Check(c, "TL_SetTime", TL_SetTime(c.h, y, mo, d, h, mi, s)).Results({1, -2});
     }},
    {"TL_GetDeviceStatus",
     [](Ctx& c) {
         const int index =
             c.P.OneIn(4) ? c.P.Pick({0, 23, 24, 25, 26, -1, INT_MIN}) : 1 + c.P.Small(22);
         const bool inRange = index >= 1 && index <= 25;
         Buf value(4, c.P.OneIn(8));
         const int r = TL_GetDeviceStatus(c.h, index, value.ints());
         Check(c, "TL_GetDeviceStatus", r, inRange)
             .Results({1, -2, 4})
             .Kept({&value})
             .Always(inRange || r == 4, "an index outside 1-25 did not give 4");
     }},
    {"TL_GetPINWidth",
     [](Ctx& c) {
         // The width is 5 until the terminal says otherwise, whatever the result.
         Buf width(4, c.P.OneIn(8));
         const int r = TL_GetPINWidth(c.h, width.ints());
         Check(c, "TL_GetPINWidth", r)
             .Results({1, -2})
             .IntIn(width, -128, 127)
             .Always(r != -2 || width.omitted() || width.Int() == 5,
                     "a failed read did not leave the width at 5");
         if (!c.h && !width.Untouched()) Fail("TL_GetPINWidth", "wrote without a session");
     }},
    {"TL_IsTFTMachine",
     [](Ctx& c) {
         Buf flag(4, c.P.OneIn(8));
         const int r = TL_IsTFTMachine(c.h, flag.ints());
         Check(c, "TL_IsTFTMachine", r).Results({1}).IntIn(flag, 0, 1);
         if (!c.h && !flag.omitted() && flag.Int() != 0)
             Fail("TL_IsTFTMachine", "a null session did not set the flag to 0");
     }},
    {"TL_GetKeyOptions",
     [](Ctx& c) {
         Buf value(4, c.P.OneIn(8));
         Check(c, "TL_GetKeyOptions", TL_GetKeyOptions(c.h, value.ints()))
             .Results({1})
             .Kept({&value});
     }},
    {"TL_GetSDKVersion",
     [](Ctx& c) {
         Buf text(8, c.P.OneIn(8));
         Check(c, "TL_GetSDKVersion", TL_GetSDKVersion(text.text()), false).Results({1}).Text(text);
     }},

    // -- access control
    {"TL_GetTZInfo",
     [](Ctx& c) {
         Buf text(57, c.P.OneIn(16));
         Check(c, "TL_GetTZInfo", TL_GetTZInfo(c.h, c.P.Int(), text.text()))
             .Results({1, -2, 4})
             .Kept({&text})
             .TextOf(text, 56, true);
     }},
    {"TL_SetTZInfo",
     [](Ctx& c) {
         // Seven "hhmmhhmm" entries, now and then with an hour or minute out of range.
         std::string digits;
         for (int i = 0; i < 28; ++i) digits += TwoDigits(c.P.Small(i % 2 ? 61 : 25));
         const auto text = c.P.OneIn(16) ? nullptr : InText(c.P.OneIn(4) ? c.P.Text(60) : digits);
         Check(c, "TL_SetTZInfo", TL_SetTZInfo(c.h, c.P.Int(), Ptr(text))).Results({1, -2, 4});
     }},
    {"TL_GetGroupTZs",
     [](Ctx& c) {
         Buf zones(ZoneBytes(c), c.P.OneIn(16));
         Check(c, "TL_GetGroupTZs", TL_GetGroupTZs(c.h, c.P.Int(), zones.ints()))
             .Results({1, -2, 4})
             .Kept({&zones});
     }},
    {"TL_SetGroupTZs",
     [](Ctx& c) {
         Buf zones(ZoneBytes(c), c.P.OneIn(4));
         for (std::size_t i = 0; i < zones.size() / 4; ++i)
             zones.SetInt(i, c.P.Pick({0, 1, 2, 50, -1}));
         Check(c, "TL_SetGroupTZs", TL_SetGroupTZs(c.h, c.P.Int(), zones.ints()))
             .Results({1, -2, 4});
     }},
    {"TL_GetGroupTZ",
     [](Ctx& c) {
         Buf z1(4, c.P.OneIn(8)), z2(4, c.P.OneIn(8)), z3(4, c.P.OneIn(8));
         Buf flag(4, c.P.OneIn(8)), value(4, c.P.OneIn(8));
         const int group = c.P.OneIn(4) ? c.P.Pick({-1, 100, INT_MIN}) : c.P.Small(100);
         Check(
             c, "TL_GetGroupTZ",
             TL_GetGroupTZ(c.h, group, z1.ints(), z2.ints(), z3.ints(), flag.ints(), value.ints()))
             .Results({1, -2, 4, -100})
             .Kept({&z1, &z2, &z3, &flag, &value})
             .IntIn(z1, 0, 65535)
             .IntIn(z2, 0, 65535)
             .IntIn(z3, 0, 65535)
             .IntIn(flag, 0, 1)
             .IntIn(value, 0, 127);
     }},
    {"TL_SetGroupTZ",
     [](Ctx& c) {
         Program& P = c.P;
         const int group = P.Pick({1, 5, 99, 0, 100}), z1 = P.Pick({1, 50, 51, -1});
         const int z2 = P.Pick({0, 2}), z3 = P.Pick({0, 3}), flag = P.Pick({0, 1});
         Check(c, "TL_SetGroupTZ", TL_SetGroupTZ(c.h, group, z1, z2, z3, flag, P.Int()))
             .Results({1, -2, 4});
     }},
    {"TL_GetHoliday",
     [](Ctx& c) {
         Buf text(193, c.P.OneIn(16)), length(4, c.P.OneIn(8));
         const int r = TL_GetHoliday(c.h, text.text(), length.ints());
         Check(c, "TL_GetHoliday", r)
             .Results({1, -2, 4})
             .Kept({&text, &length})
             .TextOf(text, 192, true)
             .IntIn(length, 0, 192)
             .OnSuccess(length.omitted() || length.Int() % 8 == 0, "a length not 8 per entry");
     }},
    {"TL_SetHoliday",
     [](Ctx& c) {
         // Up to 24 "MMDDMMDD" entries, now and then with a month or day out of range.
         std::string digits;
         for (int i = 4 * c.P.Small(25); i > 0; --i)
             digits += TwoDigits(c.P.Small(i % 2 ? 33 : 14));
         const auto text = c.P.OneIn(16) ? nullptr : InText(c.P.OneIn(4) ? c.P.Text(200) : digits);
         Check(c, "TL_SetHoliday", TL_SetHoliday(c.h, Ptr(text))).Results({1, -2, 4});
     }},
    {"TL_GetHolidayTZ",
     [](Ctx& c) {
         Buf sm(4, c.P.OneIn(8)), sd(4, c.P.OneIn(8)), em(4, c.P.OneIn(8)), ed(4, c.P.OneIn(8));
         Buf zone(4, c.P.OneIn(8));
         const int holiday = c.P.OneIn(4) ? c.P.Pick({0, 25, -1}) : 1 + c.P.Small(24);
         Check(
             c, "TL_GetHolidayTZ",
             TL_GetHolidayTZ(c.h, holiday, sm.ints(), sd.ints(), em.ints(), ed.ints(), zone.ints()))
             .Results({1, -2, 4, -100})
             .Kept({&sm, &sd, &em, &ed, &zone})
             .IntIn(sm, 0, 255)
             .IntIn(sd, 0, 255)
             .IntIn(em, 0, 255)
             .IntIn(ed, 0, 255)
             .IntIn(zone, 0, 65535);
     }},
    {"TL_SetHolidayTZ",
     [](Ctx& c) {
         Program& P = c.P;
         const int holiday = P.Pick({1, 24, 0, 25}), sm = P.Pick({1, 12, 13}),
                   sd = P.Pick({1, 31, 32}), em = P.Pick({12, 0}), ed = P.Pick({31, 1});
         Check(c, "TL_SetHolidayTZ", TL_SetHolidayTZ(c.h, holiday, sm, sd, em, ed, P.Int()))
             .Results({1, -2, 4});
     }},
    {"TL_GetlockComb",
     [](Ctx& c) {
         Buf g1(4, c.P.OneIn(8)), g2(4, c.P.OneIn(8)), g3(4, c.P.OneIn(8)), g4(4, c.P.OneIn(8));
         Buf g5(4, c.P.OneIn(8));
         const int comb = c.P.OneIn(4) ? c.P.Pick({-1, 11, INT_MAX}) : c.P.Small(11);
         Check(c, "TL_GetlockComb",
               TL_GetlockComb(c.h, comb, g1.ints(), g2.ints(), g3.ints(), g4.ints(), g5.ints()))
             .Results({1, -2, 4, -100})
             .Kept({&g1, &g2, &g3, &g4, &g5})
             .IntIn(g1, 0, 255)
             .IntIn(g2, 0, 255)
             .IntIn(g3, 0, 255)
             .IntIn(g4, 0, 255)
             .IntIn(g5, 0, 255);
     }},
    {"TL_SetlockComb",
     [](Ctx& c) {
         Program& P = c.P;
         int g[5];
         for (int& x : g) x = P.Pick({0, 1, 7, 99, 100, -1});
         const int comb = P.Pick({0, 3, 10, 11, -1});
         Check(c, "TL_SetlockComb", TL_SetlockComb(c.h, comb, g[0], g[1], g[2], g[3], g[4]))
             .Results({1, -2, 4});
     }},
    {"TL_GetUnlockGroups",
     [](Ctx& c) {
         // Byte 0 is set to 0 before the exchange; the rest only on success.
         Buf text(200, c.P.OneIn(16));
         const int r = TL_GetUnlockGroups(c.h, text.text());
         Check(c, "TL_GetUnlockGroups", r).Results({1, -2, 4}).Text(text);
         if (r != 1 && !text.omitted()) {
             const bool first = c.h ? text.data()[0] == 0 || text.data()[0] == kSentinel
                                    : text.data()[0] == kSentinel;
             for (std::size_t i = 1; i < text.size(); ++i)
                 if (text.data()[i] != kSentinel) Fail("TL_GetUnlockGroups", "wrote and failed");
             if (!first) Fail("TL_GetUnlockGroups", "wrote and failed");
         }
     }},
    {"TL_SetUnlockGroups",
     [](Ctx& c) {
         const auto text = c.P.OneIn(16) ? nullptr : InText(c.P.Text(250));
         Check(c, "TL_SetUnlockGroups", TL_SetUnlockGroups(c.h, Ptr(text))).Results({1, -2, 4});
     }},
    {"TL_GetDoorState", [](Ctx& c) { GetInt(c, "TL_GetDoorState", TL_GetDoorState, 0, 255); }},
    {"TL_Unlock", [](Ctx& c) { SetNumber(c, "TL_Unlock", TL_Unlock); }},
    {"TL_GetACFun", [](Ctx& c) { GetInt(c, "TL_GetACFun", TL_GetACFun, INT_MIN, INT_MAX); }},

    // -- messages, work codes, states, voices and short keys
    {"TL_GetSMS",
     [](Ctx& c) {
         // The content field is 320 bytes on TFT terminals, else 60; the
         // whole field is copied, so it need not be terminated.
         Clock t(c.P);
         Buf kind(4, c.P.OneIn(8)), period(4, c.P.OneIn(8));
         Buf content(ContentSize(c), c.P.OneIn(16));
         Check k(c, "TL_GetSMS",
                 TL_GetSMS(c.h, c.P.Int(), kind.ints(), period.ints(), t.y.ints(), t.mo.ints(),
                           t.d.ints(), t.h.ints(), t.mi.ints(), t.s.ints(), content.text()));
         k.Results({1, -2, 4}).Kept({&kind, &period, &content}).IntIn(kind, 0, 255).IntIn(
             period, 0, 65535);
         t.Judge(k);
     }},
    {"TL_SetSMS",
     [](Ctx& c) {
         const auto text = c.P.OneIn(16) ? nullptr : InText(c.P.Text(c.P.OneIn(2) ? 330 : 60));
         Program& P = c.P;
         Check(c, "TL_SetSMS",
               TL_SetSMS(c.h, P.Int(), P.Int(), P.Int(), 2000 + P.Small(100), 1 + P.Small(12),
                         1 + P.Small(31), P.Small(24), P.Small(60), P.Small(60), Ptr(text)))
             .Results({1, -2, 4});
     }},
    {"TL_DeleteSMS",
     [](Ctx& c) {
         Check(c, "TL_DeleteSMS", TL_DeleteSMS(c.h, c.P.Int())).Results({1, 0, -2, 4});
     }},
    {"TL_SetUData",
     [](Ctx& c) {
         const int number = c.P.OneIn(2) ? 0 : c.P.Int();
         Check(c, "TL_SetUData", TL_SetUData(c.h, number, c.P.Int(), c.P.Int()))
             .Results({1, 0, -2, 4});
     }},
    {"TL_DeleteUData",
     [](Ctx& c) {
         const int number = c.P.OneIn(2) ? 0 : c.P.Int();
         Check(c, "TL_DeleteUData", TL_DeleteUData(c.h, number, c.P.Int(), c.P.Int()))
             .Results({1, 0, -2, 4});
     }},
    {"TL_SetSsrUData",
     [](Ctx& c) {
         const auto id = c.P.OneIn(16) ? nullptr : InText(c.P.Text(25));
         Check(c, "TL_SetSsrUData", TL_SetSsrUData(c.h, Ptr(id), c.P.Int()))
             .Results({1, 0, -2, 4});
     }},
    {"TL_DelSsrUData",
     [](Ctx& c) {
         const auto id = c.P.OneIn(16) ? nullptr : InText(c.P.Text(25));
         Check(c, "TL_DelSsrUData", TL_DelSsrUData(c.h, Ptr(id), c.P.Int()))
             .Results({1, 0, -2, 4});
     }},
    {"TL_GetWorkCode",
     [](Ctx& c) {
         Buf code(4, c.P.OneIn(8));
         Check(c, "TL_GetWorkCode", TL_GetWorkCode(c.h, c.P.Int(), code.ints()))
             .Results({1, -2, 4})
             .Kept({&code});
     }},
    {"TL_SetWorkCode",
     [](Ctx& c) {
         Check(c, "TL_SetWorkCode", TL_SetWorkCode(c.h, c.P.Int(), c.P.Int())).Results({1, -2, 4});
     }},
    {"TL_DeleteWorkCode",
     [](Ctx& c) {
         Check(c, "TL_DeleteWorkCode", TL_DeleteWorkCode(c.h, c.P.Int())).Results({1, 0, -2, 4});
     }},
    {"TL_ClearWorkCode",
     [](Ctx& c) { NoArgs(c, "TL_ClearWorkCode", TL_ClearWorkCode, {1, -2}); }},
    {"TL_SSR_GetWorkCode",
     [](Ctx& c) {
         Buf name(25, c.P.OneIn(16));
         Check(c, "TL_SSR_GetWorkCode", TL_SSR_GetWorkCode(c.h, c.P.Int(), name.text()))
             .Results({1, -2, 4})
             .Kept({&name})
             .Text(name);
     }},
    {"TL_SSR_SetWorkCode",
     [](Ctx& c) {
         const auto name = FieldArg(c.P, 24);
         Check(c, "TL_SSR_SetWorkCode", TL_SSR_SetWorkCode(c.h, c.P.Int(), Ptr(name)))
             .Results({1, -2, 4});
     }},
    {"TL_SSR_DeleteWorkCode",
     [](Ctx& c) {
         Check(c, "TL_SSR_DeleteWorkCode", TL_SSR_DeleteWorkCode(c.h, c.P.Int()))
             .Results({1, 0, -2, 4});
     }},
    {"TL_SSR_ClearWorkCode",
     [](Ctx& c) { NoArgs(c, "TL_SSR_ClearWorkCode", TL_SSR_ClearWorkCode, {1, -2}); }},
    {"TL_SetCustomizeAttState",
     [](Ctx& c) {
         const int index = c.P.Pick({0, 7, 8, -1}), code = c.P.Pick({0, 127, 128, -1});
         Check(c, "TL_SetCustomizeAttState", TL_SetCustomizeAttState(c.h, index, code))
             .Results({1, -2, 4});
     }},
    {"TL_EnableCustomizeAttState",
     [](Ctx& c) {
         Check(c, "TL_EnableCustomizeAttState",
               TL_EnableCustomizeAttState(c.h, c.P.Pick({0, 7, 8, -1}), c.P.Int()))
             .Results({1, -2, 4});
     }},
    {"TL_DelCustomizeAttState",
     [](Ctx& c) {
         Check(c, "TL_DelCustomizeAttState", TL_DelCustomizeAttState(c.h, c.P.Pick({0, 7, 8, -1})))
             .Results({1, 0, -2, 4});
     }},
    {"TL_SetCustomizeVoice",
     [](Ctx& c) {
         const auto file = c.P.OneIn(16) ? nullptr
                                         : InText(c.P.OneIn(4) ? "beep.wav" : c.P.Text(25));
         Check(c, "TL_SetCustomizeVoice",
               TL_SetCustomizeVoice(c.h, c.P.Pick({0, 20, 21, -1}), Ptr(file)))
             .Results({1, -2, 4});
     }},
    {"TL_EnableCustomizeVoice",
     [](Ctx& c) {
         Check(c, "TL_EnableCustomizeVoice",
               TL_EnableCustomizeVoice(c.h, c.P.Pick({0, 20, 21, -1}), c.P.Int()))
             .Results({1, -2, 4});
     }},
    {"TL_DelCustomizeVoice",
     [](Ctx& c) {
         Check(c, "TL_DelCustomizeVoice", TL_DelCustomizeVoice(c.h, c.P.Pick({0, 20, 21, -1})))
             .Results({1, 0, -2, 4});
     }},
    {"TL_SSR_SetShortKey",
     [](Ctx& c) {
         Program& P = c.P;
         // Switch times: mostly well formed, now and then out of range or odd.
         std::string times;
         for (int i = P.Small(8); i > 0; --i)
             times += std::to_string(P.Small(26)) + ":" + std::to_string(P.Small(62)) + ";";
         if (P.OneIn(8)) times = P.Text(50);
         const auto label = FieldArg(P, 16);
         const auto text = P.OneIn(16) ? nullptr : InText(times);
         const int key = P.Pick({1, 2, 5, 255, 256, -1}), function = P.Pick({1, 1, 2, 3, 4, 256});
         Check(c, "TL_SSR_SetShortKey",
               TL_SSR_SetShortKey(c.h, key, function, P.Pick({0, 3, 255, 256}), Ptr(label),
                                  P.Pick({0, 1, 256}), Ptr(text)))
             .Results({1, -2, 4, -4});
     }},
    {"TL_SSR_GetShortKey",
     [](Ctx& c) {
         Buf function(4, c.P.OneIn(8)), state(4, c.P.OneIn(8)), autoSwitch(4, c.P.OneIn(8));
         Buf label(16, c.P.OneIn(16)), times(43, c.P.OneIn(16));
         const int key = c.P.Pick({1, 2, 5, 255, 256, -1});
         Check(c, "TL_SSR_GetShortKey",
               TL_SSR_GetShortKey(c.h, key, function.ints(), state.ints(), label.text(),
                                  autoSwitch.ints(), times.text()))
             .Results({1, 0, -2, 4, -4})
             .Kept({&function, &state, &autoSwitch, &label, &times})
             .IntIn(function, 0, 255)
             .IntIn(state, 0, 255)
             .IntIn(autoSwitch, 0, 255)
             .Text(times)
             .OnSuccess(times.omitted() || !times.Terminated() ||
                            std::strlen(times.text()) % 42 == 0,
                        "a switch-time text of another length");
     }},

    // -- report tables and report output
    {"TL_SSR_ReadAttRule",
     [](Ctx& c) {
         NoArgs(c, "TL_SSR_ReadAttRule", TL_SSR_ReadAttRule, {1, 0, -2});
     }},
    {"TL_SSR_ReadDPT",
     [](Ctx& c) {
         NoArgs(c, "TL_SSR_ReadDPT", TL_SSR_ReadDPT, {1, 0, -2});
     }},
    {"TL_SSR_ReadTurn",
     [](Ctx& c) {
         NoArgs(c, "TL_SSR_ReadTurn", TL_SSR_ReadTurn, {1, 0, -2});
     }},
    {"TL_SSR_SaveDate",
     [](Ctx& c) {
         // Each kind has its file; other kinds and an unwritable path too.
         const int kind = c.P.Pick({1, 2, 3, 4, 5, 0, 6, -1});
         const int file = c.P.OneIn(16) ? 11 : (kind >= 1 && kind <= 5 ? kind - 1 : 5);
         const auto path = InText(InDir(kReportFiles[file]));
         Check(c, "TL_SSR_SaveDate", TL_SSR_SaveDate(c.h, path->text(), kind)).Results({1, 0, -2});
     }},
    {"TL_SSR_OutPutHtml",
     [](Ctx& c) {
         Program& P = c.P;
         const auto userId = InText(P.OneIn(2) ? "" : P.Text(24));
         const auto log = InText(InDir("log.dat")), users = InText(InDir("users.dat"));
         const auto dept = InText(InDir("dept.dat")), shift = InText(InDir("shift.dat"));
         const auto rule = InText(InDir("rule.dat")), out = InText(InDir("out.html"));
         const auto work = InText(ReportDir() + "/");
         const auto caption = InText(P.OneIn(2) ? "Attendance" : P.Text(40));
         // Ranges of up to a few months: the calculation walks every day.
         const int y = 2000 + P.Small(40), mo = 1 + P.Small(12), d = 1 + P.Small(31);
         const int toMo = mo + P.Small(3), toD = 1 + P.Small(31);
         const int kind = P.Pick({1, 2, 3, 0, 4});
         const int r =
             TL_SSR_OutPutHtml(c.h, userId->text(), log->text(), users->text(), dept->text(),
                               shift->text(), y, mo, d, 0, 0, 0, y, toMo, toD, 23, 59, 59,
                               out->text(), work->text(), rule->text(), kind, caption->text());
         Check(c, "TL_SSR_OutPutHtml", r).Results({1, 0, -2});
     }},

    // -- faces and enrolment control
    {"TL_GetUserFace",
     [](Ctx& c) {
         // The request is built in the buffer and *length gets the transport's
         // result whatever the reply; only a refused argument leaves them alone.
         const auto id = IdFieldArg(c.P);
         const int index = c.P.Pick({0, 1, 255, 256, -1});
         const int capacity = c.P.Pick({4096, 28, 27, 100, 131076});
         Buf buffer(static_cast<std::size_t>(capacity), c.P.OneIn(16)), length(4, c.P.OneIn(16));
         length.SetInt(0, capacity);
         const int r = TL_GetUserFace(c.h, Ptr(id), index, buffer.bytes(), length.ints());
         Check k(c, "TL_GetUserFace", r);
         k.Results({1, 0, -2, 4}).IntIn(length, 0, capacity);
         if (r == 4 || r == -1) k.Kept({&buffer, &length});
     }},
    {"TL_SetUserFace",
     [](Ctx& c) {
         const auto id = IdFieldArg(c.P);
         const int index = c.P.Pick({0, 1, 255, 256, -1});
         const int length = c.P.Pick({100, 0, 1000, 65535, 131072, 131073, -1});
         Buf face(static_cast<std::size_t>(std::clamp(length, 1, 131072)), c.P.OneIn(16));
         Check(c, "TL_SetUserFace", TL_SetUserFace(c.h, Ptr(id), index, face.bytes(), length))
             .Results({1, 0, -2, -3, -4, -5, 4})
             .Always(face.Untouched(), "changed the face data");
     }},
    {"TL_DelUserFace",
     [](Ctx& c) {
         const auto id = IdFieldArg(c.P);
         const int index = c.P.Pick({0, 1, 255, 256, -1});
         Check(c, "TL_DelUserFace", TL_DelUserFace(c.h, Ptr(id), index)).Results({1, 0, -2, 4});
     }},
    {"TL_StartEnroll",
     [](Ctx& c) {
         const int number = c.P.Int(), finger = FingerArg(c.P);
         Started(c, "TL_StartEnroll", TL_StartEnroll(c.h, number, finger),
                 finger >= 0 && finger <= 255);
     }},
    {"TL_StartEnrollEx",
     [](Ctx& c) {
         const auto id = IdArg(c.P);
         const int finger = FingerArg(c.P), flag = c.P.Pick({0, 1, 255, 256});
         Started(
             c, "TL_StartEnrollEx", TL_StartEnrollEx(c.h, Ptr(id), finger, flag),
             id && std::strlen(id->text()) <= 24 && finger >= 0 && finger <= 255 && flag <= 255);
     }},
    {"TL_StartVerify",
     [](Ctx& c) {
         const int number = c.P.Int(), finger = FingerArg(c.P);
         Started(c, "TL_StartVerify", TL_StartVerify(c.h, number, finger),
                 finger >= 0 && finger <= 255);
     }},
    {"TL_StartIdentify",
     [](Ctx& c) { Started(c, "TL_StartIdentify", TL_StartIdentify(c.h), true); }},
    {"TL_CancelOperation",
     [](Ctx& c) { Started(c, "TL_CancelOperation", TL_CancelOperation(c.h), true); }},
    {"TL_QueryState",
     [](Ctx& c) {
         Buf state(4, c.P.OneIn(16));
         Check(c, "TL_QueryState", TL_QueryState(c.h, state.ints()))
             .Results({1, -2, 4})
             .Kept({&state})
             .IntIn(state, -1, 100);
     }},

    // -- device control and clearing
    {"TL_RebootDevice",
     [](Ctx& c) {
         const int before = c.term.OpenCount();
         const int r = TL_RebootDevice(c.h);
         // Accepted: the session is gone with its transport (the handle must
         // not be touched again); refused: both kept.
         if (c.h && r == 1) {
             if (c.term.OpenCount() != before - 1)
                 Fail("TL_RebootDevice", "reported 1 without closing its transport");
             c.h = nullptr;
             Check(c, "TL_RebootDevice", r, false);
             return;
         }
         Check(c, "TL_RebootDevice", r).Results({1, -2});
         if (c.h && c.term.OpenCount() != before)
             Fail("TL_RebootDevice", "closed its transport without success");
     }},
    {"TL_PowerOffDevice",
     [](Ctx& c) { NoArgs(c, "TL_PowerOffDevice", TL_PowerOffDevice, {1, -2}); }},
    {"TL_SleepDevice", [](Ctx& c) { NoArgs(c, "TL_SleepDevice", TL_SleepDevice, {1, -2}); }},
    {"TL_ResumeDevice", [](Ctx& c) { NoArgs(c, "TL_ResumeDevice", TL_ResumeDevice, {1, -2}); }},
    {"TL_SuspendDevice",
     [](Ctx& c) { NoArgs(c, "TL_SuspendDevice", TL_SuspendDevice, {1, -2}); }},
    {"TL_AutoPowerOff",
     [](Ctx& c) {
         Check(c, "TL_AutoPowerOff", TL_AutoPowerOff(c.h, c.P.Int()))
             .Results({-100})
             .Always(c.term.exchanges == 0, "contacted the terminal");
     }},
    {"TL_PowerOffTime",
     [](Ctx& c) {
         const int a = c.P.Int(), b = c.P.Int(), d = c.P.Int();
         Check(c, "TL_PowerOffTime", TL_PowerOffTime(c.h, a, b, d, c.P.Int(), c.P.Int()))
             .Results({-100})
             .Always(c.term.exchanges == 0, "contacted the terminal");
     }},
    {"TL_WriteLCD",
     [](Ctx& c) {
         const auto text = c.P.OneIn(8) ? nullptr : InText(c.P.Text(150));
         const int row = c.P.Int(), column = c.P.Int();
         Check(c, "TL_WriteLCD", TL_WriteLCD(c.h, row, column, Ptr(text))).Results({1, -2, 4});
     }},
    {"TL_ClearLCD", [](Ctx& c) { NoArgs(c, "TL_ClearLCD", TL_ClearLCD, {1, -2}); }},
    {"TL_Beep", [](Ctx& c) { SetNumber(c, "TL_Beep", TL_Beep); }},
    {"TL_PlayVoice",
     [](Ctx& c) {
         const int first = c.P.Int();
         Check(c, "TL_PlayVoice", TL_PlayVoice(c.h, first, c.P.Int())).Results({1, -2});
     }},
    {"TL_PlayVoiceByIndex", [](Ctx& c) { SetNumber(c, "TL_PlayVoiceByIndex", TL_PlayVoiceByIndex); }},
    {"TL_EnableClock", [](Ctx& c) { SetNumber(c, "TL_EnableClock", TL_EnableClock); }},
    {"TL_ClearData", [](Ctx& c) { NoArgs(c, "TL_ClearData", TL_ClearData, {1, -2}); }},
    {"TL_ClearDataEx",
     [](Ctx& c) {
         const int kind = c.P.Pick({1, 2, 3, 4, 5, 0, 6, 257, -1});
         const int r = TL_ClearDataEx(c.h, kind);
         // The kind is checked before the session.
         if (kind < 1 || kind > 5) {
             if (r != 4) Fail("TL_ClearDataEx", "a kind outside 1-5 was not refused");
             c.term.StartCall();
             return;
         }
         Check(c, "TL_ClearDataEx", r).Results({1, -2});
     }},
    {"TL_ClearLogData", [](Ctx& c) { NoArgs(c, "TL_ClearLogData", TL_ClearLogData, {1, -2}); }},
    {"TL_ClearOpLogData",
     [](Ctx& c) { NoArgs(c, "TL_ClearOpLogData", TL_ClearOpLogData, {1, -2}); }},
    {"TL_RefreshData", [](Ctx& c) { NoArgs(c, "TL_RefreshData", TL_RefreshData, {1, -2}); }},
    {"TL_ClearSMS", [](Ctx& c) { NoArgs(c, "TL_ClearSMS", TL_ClearSMS, {1, -2}); }},
    {"TL_ClearUData", [](Ctx& c) { NoArgs(c, "TL_ClearUData", TL_ClearUData, {1, -2}); }},

    // -- firmware, files and table export
    {"TL_UpdateFirmware",
     [](Ctx& c) {
         // Now and then a well-formed head, so that data lines count.
         std::string text;
         if (!c.P.OneIn(4)) {
             text = c.P.OneIn(2) ? "FirmwareVersion=Ver 9.99 Dec 31 2099\n" : "";
             text += "FirmwareLength=" + std::to_string(c.P.Small(40)) +
                     "\nFirmwareCheckSum=" + std::to_string(c.P.Word()) + "\n";
         }
         const auto blob = c.P.Blob(600);
         text.append(blob.begin(), blob.end());
         const std::string path = InDir("fw.txt");
         if (FILE* f = std::fopen(path.c_str(), "wb")) {
             std::fwrite(text.data(), 1, text.size(), f);
             std::fclose(f);
         }
         const auto arg = c.P.OneIn(8) ? nullptr : InText(c.P.OneIn(8) ? InDir("none") : path);
         Check(c, "TL_UpdateFirmware", TL_UpdateFirmware(c.h, Ptr(arg))).Results({1, -2, 4});
     }},
    {"TL_SendFile",
     [](Ctx& c) {
         const auto blob = c.P.Blob(300);
         const std::string path = InDir("send.bin");
         if (FILE* f = std::fopen(path.c_str(), "wb")) {
             std::fwrite(blob.data(), 1, blob.size(), f);
             std::fclose(f);
         }
         std::unique_ptr<Buf> arg;
         switch (c.P.Small(5)) {
             case 0:
                 break;
             case 1:
                 arg = InText(InDir("none"));
                 break;
             case 2:
                 arg = InText(InDir(std::string(40, 'n').c_str()));
                 break;
             default:
                 arg = InText(path);
         }
         const int r = TL_SendFile(c.h, Ptr(arg));
         if (!arg) {
             if (r != 4) Fail("TL_SendFile", "a null path was not refused first");
             c.term.StartCall();
             return;
         }
         Check(c, "TL_SendFile", r).Results({1, -2, -4, 4});
     }},
    {"TL_ReadFile",
     [](Ctx& c) {
         const char* names[] = {"a.txt", "", nullptr, "missing/table.dat"};
         const char* name = names[c.P.Small(4)];
         const auto dir = c.P.OneIn(8) ? nullptr : InText(ReportDir() + "/");
         const auto nameArg = name ? InText(name) : nullptr;
         Check(c, "TL_ReadFile", TL_ReadFile(c.h, Ptr(nameArg), Ptr(dir))).Results({1, -2, -4, 4});
     }},
    {"TL_UpdateLanguageByID",
     [](Ctx& c) {
         const auto text = c.P.OneIn(8) ? nullptr : InText(c.P.Text(120));
         const int id = c.P.Int();
         Check(c, "TL_UpdateLanguageByID", TL_UpdateLanguageByID(c.h, id, Ptr(text)))
             .Results({1, -2, 4});
     }},
    {"TL_SendBackgroundCMD",
     [](Ctx& c) {
         const int command = c.P.Int(), a = c.P.Int(), b = c.P.Int();
         Check(c, "TL_SendBackgroundCMD", TL_SendBackgroundCMD(c.h, command, a, b, c.P.Int()))
             .Results({1, -2});
     }},
    {"TL_GetData",
     [](Ctx& c) {
         const char* outs[] = {"table.dat", "missing/table.dat"};
         const auto out = c.P.OneIn(8) ? nullptr : InText(InDir(outs[c.P.Small(2)]));
         Check(c, "TL_GetData", TL_GetData(c.h, c.P.Int(), Ptr(out))).Results({1, 0, -2, 4, -100});
     }},

    // -- backup, restore, capture, cards
    {"TL_BackupData",
     [](Ctx& c) {
         const auto path = InText(c.P.OneIn(16)   ? InDir("missing/backup.arc")
                                  : c.P.OneIn(16) ? std::string(200, 'b')
                                                  : InDir("backup.arc"));
         // The export pauses 200 ms after each block; the same code without
         // the pause keeps the runs fast.
         tl::BackupOptions fast;
         fast.blockPauseMs = 0;
         const int r = c.h ? tl::BackupData(*tl::as_session(c.h), path->text(), fast)
                           : TL_BackupData(c.h, path->text());
         Check(c, "TL_BackupData", r).Results({1, 0, -2, 4, -100});
     }},
    {"TL_RestoreData",
     [](Ctx& c) {
         // A backup an earlier call wrote, or a file that is none.
         const auto path = InText(InDir(c.P.OneIn(4) ? "users.dat" : "backup.arc"));
         Check(c, "TL_RestoreData", TL_RestoreData(c.h, path->text())).Results({1, 0, -2, 4, -100});
     }},
    {"TL_CaptureImage",
     [](Ctx& c) {
         Program& P = c.P;
         const int full = P.Small(2);
         Buf width(4, P.OneIn(16)), height(4, P.OneIn(16));
         width.SetInt(0, P.Pick({0, 0, 1, 302, 640, 1000, -1}));
         Buf pixels(307208, P.OneIn(4));
         const auto bmp = P.OneIn(2) ? nullptr : InText(InDir("capture.bmp"));
         const int r =
             TL_CaptureImage(c.h, full, width.ints(), height.ints(), pixels.bytes(), Ptr(bmp));
         Check k(c, "TL_CaptureImage", r);
         k.Results({1, -2, 4}).Kept({&pixels});
         if (r == 1 && !width.omitted() && !height.omitted()) {
             const long long n = 1LL * width.Int() * height.Int();
             k.Always(width.Int() > 0 && height.Int() > 0 && n <= 307208,
                      "reported an image larger than its buffer");
             if (!pixels.omitted())
                 k.Always(n == 307208 || pixels.data()[n] == kSentinel,
                          "wrote pixels past width x height");
         }
     }},
    {"TL_MFWrite",
     [](Ctx& c) {
         Program& P = c.P;
         Buf descriptor(12, P.OneIn(16)), data(4096, P.OneIn(16));
         std::uint8_t d[12];
         P.Copy(d, sizeof d);
         descriptor.SetBytes(d, sizeof d);
         Check(c, "TL_MFWrite", TL_MFWrite(c.h, P.Int(), descriptor.bytes(), data.bytes()))
             .Results({1, 0, -4, -5, -2, 4})
             .Always(descriptor.Untouched() && data.Untouched(), "changed its input");
     }},
    {"TL_MFEmpty",
     [](Ctx& c) {
         Check(c, "TL_MFEmpty", TL_MFEmpty(c.h)).Results({1, 0, -4, -5, -2});
     }},
};

}  // namespace

// Every session allocates table buffers of several MiB. Poisoning their
// shadow memory with memset instead of handing it back to the system (and
// faulting it in again) at every allocation triples the executions per second.
extern "C" const char* __asan_default_options() {
    return "clear_shadow_mmap_threshold=1073741824";
}

// Undefined behaviour is a finding too, not a line on standard error.
extern "C" const char* __ubsan_default_options() {
    return "halt_on_error=1:print_stacktrace=1";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The container utilities and the report engine print trace lines.
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    // Backup and restore load libarchlib and release it again. Built for
    // fuzzing it carries coverage counters the fuzzer keeps reading, so it
    // must stay mapped: this reference is never released.
    if (!dlopen("libarchlib.so", RTLD_NOW | RTLD_NODELETE)) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t program = std::min<std::size_t>(data[0] | data[1] << 8, size - 2);
    Ctx c;
    c.P.data = data + 2;
    c.P.size = program;
    c.term.StartInput(data + 2 + program, size - 2 - program);
    // The report chain's files live in a folder of the run's own, removed at
    // its end (only a run that fails leaves its folder behind).
    char dir[] = "/tmp/tl-api-hostile-XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    ReportDir() = dir;

    Connect(c);
    for (int n = 0; n < kMaxCalls && c.P.size > 0; ++n) {
        const Call& call = kCalls[c.P.Byte() % (sizeof kCalls / sizeof kCalls[0])];
        c.term.StartCall();
        call.run(c);
    }
    Close(c);
    if (c.term.OpenCount() != 0) Fail("TL_Close", "a transport was left open");
    for (const char* f : kReportFiles) std::remove(InDir(f).c_str());
    rmdir(dir);
    return 0;
}
