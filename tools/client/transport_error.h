// What the transport's error codes (TL_LastError) mean, in words.
#pragma once

#include <string>

namespace tlclient {

// Empty for 0 (no error recorded); unknown codes are described by number.
std::string TransportErrorText(int code);

}  // namespace tlclient
