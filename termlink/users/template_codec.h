// The fingerprint template codec: decoding the three stored layouts, encoding
// the two current ones, and the operations built on them (length,
// normalisation, shrinking).
//
// Every function works on byte spans of known length and never reads or
// writes outside them; a template that claims more bytes than the span holds
// is not decodable. Decisions where the terminal's behaviour leaves room:
//  - Singular points: the layout C decoder reads 3 bits of count and the
//    layout B decoder 2, so the encoders write at most 7 (C) and 3 (B)
//    singular points; more would make the template unreadable.
//  - Layout B stops at 1023 bytes so that its 10-bit length field always holds
//    the true length; a grid row cut at that limit names only the columns it
//    really carries.
//  - An encoding that does not fit the destination span gives 0 (nothing
//    usable written). Shrinking works in an area large enough for any model,
//    so only the caller's limit and buffer decide.
//  - Shrinking removes the minutiae farthest from the centre: each pass of the
//    adjacent-swap sort runs to the end of the unsorted part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "common/bytes.h"
#include "users/template_model.h"

namespace tl {

// Decodes the layout chosen by the magic into `model` (cleared first) and
// returns the bytes consumed, or 0 when the bytes are not a template.
std::size_t DecodeTemplate(Bytes bytes, TemplateModel& model);

// The bytes a template occupies; 0 when it is not a template.
std::size_t TemplateLength(Bytes bytes);

// Layout C (magic 0xCAA1). The grid goes in when `withGrid` is set and the
// model has a grid of 1..32 by 1..32 cells. Returns the length, or 0 when the
// encoding does not fit `out`. The model is not changed.
std::size_t EncodeLayoutC(const TemplateModel& model, bool withGrid, MutBytes out);

// Layout B (magic 0xCAA0, version 1, grid included as far as 1023 bytes
// allow). Returns the length, or 0 when it does not fit `out`.
std::size_t EncodeLayoutB(const TemplateModel& model, MutBytes out);

// Decodes `source` and writes it as layout C with its grid; the length, or 0
// when the source is not a template or the result does not fit.
std::size_t NormalizeTemplate(Bytes source, MutBytes destination);

// Rewrites the template at the start of `bytes` as layout C of at most
// `limit` bytes: with the grid if that fits, else without, else without the
// minutiae farthest from the centre. Returns the new length, or 0 (bytes
// unchanged) when the source is not a template or no such encoding exists.
std::size_t ShrinkTemplate(MutBytes bytes, long long limit);

// The same on a decoded model, written to `out`; used by the exports that
// already hold the model.
std::size_t ShrinkModel(TemplateModel& model, long long limit, MutBytes out);

// Removes `m` minutiae as the shrink does: those farthest from the centre
// of the minutiae (average of mean and midrange on each axis). Requires
// 0 <= m < held minutiae.
void RemoveOuterMinutiae(TemplateModel& model, int m);

}  // namespace tl
