// Module entry of one plug-in: hands libportmux the plug-in's function table.
#include "core/plugin.h"

extern "C" __attribute__((visibility("default"))) const PmxPluginTable* pmx_plugin_entry(void) {
    return pmx::UdpPlugin();
}
