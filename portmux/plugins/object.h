// Base of every object a plug-in hands out, so that one close() releases
// links and listeners alike.
#pragma once

namespace pmx {

struct PluginObject {
    virtual ~PluginObject() = default;
};

}  // namespace pmx
