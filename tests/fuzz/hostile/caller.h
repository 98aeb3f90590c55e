// The caller's side of the API fuzz target: the program that makes the
// calls, the caller's buffers, the arguments the families of calls share, and
// the verdict on each call (Check). Each calls_*.cpp drives one family of
// exports; fuzz_api_hostile.cpp chains the families into the one table the
// program picks from.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "hostile/terminal.h"
#include "termlink.h"

namespace hostile {

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

// ---- Arguments -------------------------------------------------------------

// A text argument in a heap block of exactly its length and NUL.
std::unique_ptr<Buf> InText(const std::string& t);
// A fixed-field text argument: a terminated text of up to `width` characters,
// the whole field without a terminator, or null.
std::unique_ptr<Buf> FieldArg(Program& P, std::size_t width);
char* Ptr(const std::unique_ptr<Buf>& b);
// A user ID text of up to 25 characters (one more than an ID holds), or null.
std::unique_ptr<Buf> IdArg(Program& P);
// A 24-byte ID field, NUL-padded, or null.
std::unique_ptr<Buf> IdFieldArg(Program& P);
int FingerArg(Program& P);
// A template as a caller holds it: as far as its encoding reaches when it
// decodes, else as much as its magic lets the library read; at least `room`
// bytes.
std::unique_ptr<Buf> TemplateArg(Program& P, std::size_t room = 0);

struct Ctx {
    Program P;
    hostile::Terminal& term = hostile::Term();
    TL_HANDLE h = nullptr;
};

// Zone lists hold 3 entries, 4 on TFT terminals; the caller asks which.
std::size_t ZoneBytes(Ctx& c);

// The report chain's files, in a folder of the run's own.
std::string& ReportDir();
std::string InDir(const char* name);
inline constexpr const char* kReportFiles[] = {
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

// ---- Verdicts --------------------------------------------------------------

// The verdict on one call. The constructor applies the rules every export
// shares; the methods add what the export documents.
class Check {
  public:
    // How a refused single exchange may end: never in 1; in 1 only for
    // REPLY_ERROR (the getters that then report a default); or not judged
    // (results that are values rather than success codes).
    enum Refusal { kStrict, kDefaulted, kValue };

    Check(Ctx& c, const char* name, int r, bool needsSession = true, Refusal rule = kStrict);

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

// Shapes several families share: one call and its verdict.
void SetNumber(Ctx& c, const char* name, int (*set)(TL_HANDLE, int));
void NoArgs(Ctx& c, const char* name, int (*call)(TL_HANDLE), std::initializer_list<int> results);
void GetInt(Ctx& c, const char* name, int (*get)(TL_HANDLE, int*), int lo, int hi);

// ---- The calls -------------------------------------------------------------

struct Call {
    const char* name;
    void (*run)(Ctx&);
};

// Connecting (one of the four connects, checked against the transports it
// opened) and closing (TL_Close, which must close its own).
void Connect(Ctx& c);
void Close(Ctx& c);

// The families of calls, in the order the program's table lists them.
std::span<const Call> SessionCalls();
std::span<const Call> RecordCalls();
std::span<const Call> UserCalls();
std::span<const Call> TemplateCalls();
std::span<const Call> TemplateToolCalls();
std::span<const Call> DeviceCalls();
std::span<const Call> AccessCalls();
std::span<const Call> ContentCalls();
std::span<const Call> ReportCalls();
std::span<const Call> FaceCalls();
std::span<const Call> ControlCalls();
std::span<const Call> MaintenanceCalls();

}  // namespace hostile
