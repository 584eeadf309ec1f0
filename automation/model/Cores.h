// SPDX-License-Identifier: Apache-2.0
// Whether the process may run on more than one core. Work moved to a second
// thread (inflating, decoding ahead, deflating) only pays where that thread
// has a core of its own; on one core it only adds work.
#pragma once

namespace automation::model {

// True when the affinity mask holds more than one core, or cannot be read.
bool severalCores();

}  // namespace automation::model
