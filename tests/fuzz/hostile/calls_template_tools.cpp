// The template utilities, which need no session: lengths, conversions,
// merging and splitting containers.
#include "hostile/caller.h"
#include "users/template_container.h"
#include "users/template_model.h"

namespace hostile {
namespace {

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

const Call kCalls[] = {
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
};

}  // namespace

std::span<const Call> TemplateToolCalls() {
    return kCalls;
}

}  // namespace hostile
