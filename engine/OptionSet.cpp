// SPDX-License-Identifier: Apache-2.0
#include "engine/OptionSet.h"

namespace engine {

OptionSet &optionSet() {
    static OptionSet options;
    return options;
}

}  // namespace engine
