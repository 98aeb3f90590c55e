// Opening a session: the four connection kinds and the connect-time probe.
#pragma once

#include "session/session.h"

namespace tl {

DeviceSession* ConnectNet(const char* address, int port, int i1, int i2, int i3);
DeviceSession* ConnectNetEx(const char* address, int port, int i1, int i2, int i3);
DeviceSession* ConnectUsb(int port, int i1, int i2, int i3);
DeviceSession* ConnectCom(const char* portName, int portNumber, int baud, int i1, int i2, int i3,
                          const char* initText);

}  // namespace tl
