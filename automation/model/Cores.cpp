// SPDX-License-Identifier: Apache-2.0
#include "automation/model/Cores.h"

#include <sched.h>

namespace automation::model {

bool severalCores() {
    cpu_set_t cores;
    CPU_ZERO(&cores);
    return sched_getaffinity(0, sizeof cores, &cores) != 0 || CPU_COUNT(&cores) > 1;
}

}  // namespace automation::model
