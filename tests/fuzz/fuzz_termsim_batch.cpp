// Arbitrary upload blocks applied by the simulated terminal as a batch: the
// parser stays inside the block, and a batch it refuses leaves the users and
// templates exactly as they were.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "termsim/model.h"

namespace {

std::vector<std::uint8_t> Words(std::uint32_t a, std::uint32_t b) {
    std::vector<std::uint8_t> out;
    for (std::uint32_t v : {a, b})
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const termsim::Profile kProfiles[] = {termsim::Profile::Classic,
                                                 termsim::Profile::Tft, termsim::Profile::Fp10};
    termsim::Config cfg;
    cfg.profile = kProfiles[data[0] % 3];
    termsim::Model model(cfg);
    model.Generate({.seed = 7, .users = 4, .punches = 0, .opRecords = 0});
    const auto users = model.Users();
    const auto templates = model.Templates();

    termsim::Request push;
    push.op = termsim::Op::Data;
    push.data.assign(data + 1, data + size);
    model.Handle(push);
    termsim::Request apply;
    apply.command = 110;
    apply.request = Words(12, 0x80000);
    const termsim::Response r = model.Handle(apply);
    if (r.reply != termsim::kReplyOk && (model.Users() != users || model.Templates() != templates))
        std::abort();
    return 0;
}
