// The tool's one text rule, the same on every platform. Text from the
// terminal and in the report pages is GB18030 (GB2312 and GBK bytes are
// GB18030 unchanged, so every terminal's names read the same); text the user
// types or reads is UTF-8. A conversion is complete or refused: nothing is
// replaced by '?' or a look-alike, and a refusal says which character, at
// which byte, could not be converted.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace tlcli {

struct TextResult {
    std::optional<std::string> text;  // the whole converted text
    std::size_t offset = 0;           // else: the first byte that could not be converted
    std::string problem;              // and what is wrong there, in words
};

// UTF-8 to GB18030 (for the terminal or a page).
TextResult ToGb18030(const std::string& utf8);

// GB18030 to UTF-8 (from the terminal or a page).
TextResult FromGb18030(const std::string& gb);

// "line L, column C" of byte `offset` in `text` (both counted from 1;
// columns in bytes).
std::string PlaceInText(const std::string& text, std::size_t offset);

}  // namespace tlcli
