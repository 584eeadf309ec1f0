// SPDX-License-Identifier: Apache-2.0
#include "engine/ComInit.h"

#ifdef _WIN32
#include <objbase.h>
#endif

namespace engine::platform {

void initializeComForThread() {
#ifdef _WIN32
    // The result is not needed: a thread already initialised keeps its apartment.
    (void)CoInitializeEx(nullptr, COINIT_MULTITHREADED);
#endif
}

}  // namespace engine::platform
