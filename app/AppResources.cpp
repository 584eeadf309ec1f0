// SPDX-License-Identifier: Apache-2.0
#include "app/AppResources.h"

#include <QtGlobal>

static void initResourcesOnce() { Q_INIT_RESOURCE(resources); }

namespace app {

void ensureResources() {
    static const bool done = (initResourcesOnce(), true);
    Q_UNUSED(done);
}

}  // namespace app
