// Prepares the calling thread for automation calls; nothing to do off Windows.
#pragma once

namespace engine::platform {

void initializeComForThread();

}  // namespace engine::platform
