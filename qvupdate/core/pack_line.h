// The armoured form of a configuration line inside a pack.
//
// An option line "name=value" of n characters (n <= 63) is stored as n + 1
// groups of four characters. Group i < n is: digit symbol d1, the check
// symbol of (d1, d2), digit symbol d2, and the line's i-th character. The
// last group is two filler symbols and the two uppercase hexadecimal digits
// of 4 * n (the armoured length less 4).
//
// Both tables are fixed forever: packs in the field were written with them.
// The check table has ten different symbols in every row and every column,
// and the encoder never gives a group the digit its predecessor had at the
// same place, so changing any one digit, check or length character of a line
// makes it decode to "NULL". (The payload characters and the last group's
// two fillers are not covered by the check.)
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvupdate {

// Position in the table = digit value.
inline constexpr std::string_view kDigitTable = "QKZWJBUGHD";
// Index = first digit * 10 + second digit.
inline constexpr std::string_view kCheckTable =
    "jBpHRrt6wc"
    "ktHEBh9S6D"
    "JmVBxpybT9"
    "QHJZjYcp8E"
    "evYT4GCcXW"
    "KGzqSAgjEy"
    "6NrVsZA9KF"
    "5M7zmCYvVX"
    "7hR59NvXeZ"
    "YQuDFb6Zc8";

inline constexpr std::size_t kMaxArmouredLine = 63;  // 4 * 63 fits two hex digits

// What a line that fails its checks decodes to (and is then sent as).
inline constexpr std::string_view kUndecodable = "NULL";

// The option line an armoured line stands for, or "NULL".
std::string DecodePackLine(std::string_view line);

// The armoured form of an option line; nothing when it is longer than 63
// characters or holds a CR or LF (which would split it in the pack).
std::optional<std::string> EncodePackLine(std::string_view line);

// Splits configuration text at CR LF, LF or CR. A line break at the very end
// does not start another line; empty lines inside the text are kept.
std::vector<std::string> SplitPackLines(std::string_view text);

}  // namespace qvupdate
