// Module entry of one plug-in: hands libportmux the plug-in's function table.
#include "core/plugin.h"

extern "C" PMX_PLUGIN_EXPORT const PmxPluginTable* pmx_plugin_entry(void) {
    return pmx::UsbPlugin();
}
