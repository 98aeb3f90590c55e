// Exported entry points of the template utilities: the codec and the
// version-10 container. No session: failures give the family's own results
// (4 for the codec, 0 for the container) and nothing crosses the C boundary.
//
// The exports receive bare pointers. Each gives the code below the most
// bytes a valid input of its kind can occupy (the template's layout, the
// container's own length field), and outputs the sizes the callers provide.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "exports/guard.h"
#include "termlink.h"
#include "users/template_codec.h"
#include "users/template_container.h"

using namespace tl;

namespace {

constexpr int kUnusable = 4;
// TL_FPTempConvertNew's destination: the request buffer the template
// commands use.
constexpr std::size_t kConvertNewDestination = 2048;
// Shorter results are not worth sending to a terminal.
constexpr std::size_t kMinUsefulLength = 50;

Bytes TemplateAt(const unsigned char* p) {
    return Bytes(p, TemplateBound(load_u16(p)));
}

// A caller's container as far as its own length field reaches (at least the
// header, at most the largest container).
MutBytes ContainerAt(unsigned char* p) {
    if (!p) return {};
    const std::size_t len = static_cast<std::size_t>(p[8] << 8 | p[9]);
    return MutBytes(p, std::clamp(len, kContainerHeader, kContainerMax));
}

}  // namespace

extern "C" {

TL_API int TL_STDCALL TL_FPTempLength(const unsigned char* tmp, int* length) {
    return Guarded(kUnusable, [&] {
        if (!length) return kUnusable;
        *length = 0;
        if (!tmp) return kUnusable;
        const std::size_t len = TemplateLength(TemplateAt(tmp));
        *length = static_cast<int>(len);
        return len > 0 ? 1 : kUnusable;
    });
}

TL_API int TL_STDCALL TL_SetFPTempLength(unsigned char* tmp, int maxLength) {
    return Guarded(kUnusable, [&] {
        if (!tmp) return kUnusable;
        // Read as far as the layout allows; the result, at most maxLength
        // bytes, is written over the caller's template.
        const std::size_t limit = static_cast<std::size_t>(std::max(maxLength, 0));
        const std::size_t span =
            std::max(TemplateBound(load_u16(tmp)), std::min(limit, kMaxEncodedC));
        return ShrinkTemplate(MutBytes(tmp, span), maxLength) > 0 ? 1 : kUnusable;
    });
}

TL_API int TL_STDCALL TL_FPTempConvert(const unsigned char* source, unsigned char* destination,
                                       int* length) {
    return Guarded(kUnusable, [&] {
        if (!source || !destination || !length) return kUnusable;
        TemplateModel model;
        if (DecodeTemplate(TemplateAt(source), model) == 0) return kUnusable;
        std::array<std::uint8_t, kMaxEncodedB> work;
        const std::size_t len = EncodeLayoutB(model, work);
        if (len <= kMinUsefulLength) return kUnusable;
        std::memcpy(destination, work.data(), len);
        *length = static_cast<int>(len);
        return 1;
    });
}

TL_API int TL_STDCALL TL_FPTempConvertNew(unsigned char* source, unsigned char* destination,
                                          int* length) {
    return Guarded(kUnusable, [&] {
        if (!source || !destination || !length) return kUnusable;
        const int wanted = *length;
        TemplateModel model;
        if (DecodeTemplate(TemplateAt(source), model) == 0) return kUnusable;
        std::array<std::uint8_t, kMaxEncodedC> work;
        std::size_t len = EncodeLayoutC(model, true, work);
        if (len <= kMinUsefulLength) return kUnusable;
        if (wanted > 100 && wanted < static_cast<int>(kConvertNewDestination) &&
            static_cast<std::size_t>(wanted) < len) {
            // The source is rewritten shrunk and the destination gets the
            // same bytes. A template that cannot be brought within W, or
            // that shrinking leaves too short to be useful (dropping the grid
            // of a template with few minutiae can), is refused and the source
            // is left as it was.
            std::array<std::uint8_t, kConvertNewDestination> shrunkBytes;
            const std::size_t shrunk = ShrinkModel(
                model, wanted, MutBytes(shrunkBytes.data(), static_cast<std::size_t>(wanted)));
            if (shrunk <= kMinUsefulLength) return kUnusable;
            std::memcpy(source, shrunkBytes.data(), shrunk);
            std::memcpy(destination, shrunkBytes.data(), shrunk);
            len = shrunk;
        } else {
            if (len > kConvertNewDestination) return kUnusable;
            std::memcpy(destination, work.data(), len);
        }
        *length = static_cast<int>(len);
        return 1;
    });
}

TL_API int TL_CDECL FRILEX_MERGE_TEMPLATE(unsigned char** containers, int count,
                                          unsigned char* output) {
    return Guarded(0, [&] {
        std::vector<MutBytes> inputs;
        if (containers && output && count > 0) {
            inputs.reserve(static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i) inputs.push_back(ContainerAt(containers[i]));
        }
        MutBytes out = output ? MutBytes(output, kContainerMax) : MutBytes{};
        return static_cast<int>(MergeContainers(inputs, out));
    });
}

TL_API int TL_STDCALL TL_MergeTemplate(unsigned char** containers, int count,
                                       unsigned char* output) {
    return FRILEX_MERGE_TEMPLATE(containers, count, output);
}

TL_API int TL_CDECL FRILEX_SPLIT_TEMPLATE(unsigned char* container, unsigned char** outputs,
                                          int* count, int* sizes) {
    return Guarded(0, [&] {
        std::array<int, 256> produced{};
        auto buffer = [&](int index, std::size_t size) -> MutBytes {
            if (!outputs[index]) return {};
            produced[static_cast<std::size_t>(index)] = static_cast<int>(size);
            return MutBytes(outputs[index], size);
        };
        const MutBytes in = outputs ? ContainerAt(container) : MutBytes{};
        const int n = SplitContainer(in, buffer);
        if (n > 0) {
            if (count) *count = n;
            if (sizes) std::copy_n(produced.begin(), n, sizes);
        }
        return n;
    });
}

TL_API int TL_STDCALL TL_SplitTemplate(unsigned char* container, unsigned char** outputs,
                                       int* count, int* sizes) {
    return FRILEX_SPLIT_TEMPLATE(container, outputs, count, sizes);
}

}  // extern "C"
