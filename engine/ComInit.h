// SPDX-License-Identifier: Apache-2.0
// Prepares the calling thread for automation calls; nothing to do off Windows.
#pragma once

namespace engine::platform {

void initializeComForThread();

}  // namespace engine::platform
