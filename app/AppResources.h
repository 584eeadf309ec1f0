// SPDX-License-Identifier: Apache-2.0
// The compiled-in resources live in a static library; the linker keeps them
// only when something asks for them, so every user of ":/..." calls this first.
#pragma once

namespace app {

constexpr const char *kIconResource = ":/images/rsf.ico";

void ensureResources();

}  // namespace app
