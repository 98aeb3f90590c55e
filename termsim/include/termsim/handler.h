// The simulated terminal answers portmux's server side through portmux's
// handler interface; these are its names inside termsim.
#pragma once

#include "portmux_handler.h"

namespace termsim {

using pmx::Handler;
using pmx::kReplyError;
using pmx::kReplyOk;
using pmx::Op;
using pmx::Request;
using pmx::Response;

}  // namespace termsim
