// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/GsfSupport.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>

#include <mutex>

namespace automation::readers {

namespace {
void ignoreLogMessage(const gchar *, GLogLevelFlags, const gchar *, gpointer) {}
}  // namespace

void ensureGsfInitialised() {
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        // Registering a type is not safe while another thread registers it
        // too: make every type the readers use exist now, on one thread.
        g_type_ensure(GSF_INPUT_STDIO_TYPE);
        g_type_ensure(GSF_INPUT_MEMORY_TYPE);
        g_type_ensure(GSF_INFILE_MSOLE_TYPE);
        // A damaged compound file makes libgsf complain on stderr; the
        // failure already reaches the caller as a status.
        const auto levels = static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING);
        for (const char *domain : {"libgsf", "libgsf:msole"})
            g_log_set_handler(domain, levels, ignoreLogMessage, nullptr);
    });
}

}  // namespace automation::readers
