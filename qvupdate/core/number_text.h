// Whole numbers typed by people: the dialog's port, device number and baud
// fields, and the batch command's options.
#pragma once

#include <optional>
#include <string_view>

namespace qvupdate {

enum class NumberForm {
    Decimal,            // "4370", "-1"
    DecimalOrDollarHex  // also "$1112" (hexadecimal after a leading "$")
};

// The number, or nothing when the text is not a whole number that fits an int.
std::optional<int> ParseWholeNumber(std::string_view text, NumberForm form);

}  // namespace qvupdate
