// Decoding arbitrary bytes as a template: stays inside the bytes, and what
// decodes re-encodes into templates that decode again to the same model size.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "users/template_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto model = std::make_unique<tl::TemplateModel>();
    const std::size_t used = tl::DecodeTemplate(tl::Bytes(data, size), *model);
    if (used > size) std::abort();
    if (used == 0) return 0;
    std::vector<std::uint8_t> c(tl::kMaxEncodedC), b(tl::kMaxEncodedB);
    const std::size_t lc = tl::EncodeLayoutC(*model, true, c);
    const std::size_t lb = tl::EncodeLayoutB(*model, b);
    if (lc == 0 || lb == 0) std::abort();
    auto back = std::make_unique<tl::TemplateModel>();
    if (tl::DecodeTemplate(tl::Bytes(c.data(), lc), *back) != lc) std::abort();
    if (back->minutiaCount != model->minutiaCount) std::abort();
    if (tl::DecodeTemplate(tl::Bytes(b.data(), lb), *back) != lb) std::abort();
    return 0;
}
