// The whole public C API against a hostile terminal.
//
// Input: two little-endian bytes give the length of the program, the caller's
// side (which connect, which exports in which order, their arguments and the
// bytes of templates and containers); the rest is the script the terminal
// answers from (hostile/terminal.h). A run connects, makes up to kMaxCalls
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
//
// The caller's side is in hostile/: caller.h (program, buffers, verdicts),
// one calls_*.cpp per family of exports, transport.cpp (the PMX_ functions
// over the terminal).
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "hostile/caller.h"

namespace {

using hostile::Call;
using hostile::Ctx;
using hostile::Fail;

constexpr int kMaxCalls = 48;

// Every export of the public headers is driven from one of the families; an
// export added to a header joins its family's table. The order is the input
// format: a program byte picks a call by its place in this chain.
const std::vector<Call>& Calls() {
    static const std::vector<Call> calls = [] {
        std::vector<Call> all;
        for (std::span<const Call> family :
             {hostile::SessionCalls(), hostile::RecordCalls(), hostile::UserCalls(),
              hostile::TemplateCalls(), hostile::TemplateToolCalls(), hostile::DeviceCalls(),
              hostile::AccessCalls(), hostile::ContentCalls(), hostile::ReportCalls(),
              hostile::FaceCalls(), hostile::ControlCalls(), hostile::MaintenanceCalls()})
            all.insert(all.end(), family.begin(), family.end());
        return all;
    }();
    return calls;
}

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
    hostile::ReportDir() = dir;

    hostile::Connect(c);
    const std::vector<Call>& calls = Calls();
    for (int n = 0; n < kMaxCalls && c.P.size > 0; ++n) {
        const Call& call = calls[c.P.Byte() % calls.size()];
        c.term.StartCall();
        call.run(c);
    }
    hostile::Close(c);
    if (c.term.OpenCount() != 0) Fail("TL_Close", "a transport was left open");
    for (const char* f : hostile::kReportFiles) std::remove(hostile::InDir(f).c_str());
    rmdir(dir);
    return 0;
}
