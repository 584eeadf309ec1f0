// SPDX-License-Identifier: Apache-2.0
// The result side of a pass: the workbook that receives the rows, from its
// creation (blank or from the header template) to its save and close.
#pragma once

#include "engine/JobContext.h"

namespace engine {

enum class PassStart {
    Ready,     // the pass state is filled in
    EndJob,    // a header template error was reported; the job ends now
    SkipPass,  // no result workbook could be made; reported, go on with the next pass
};

PassStart beginPass(JobContext &job, PassState &pass);

// Removes the scratch sheet, saves unless an empty per-value result is to be
// left out, reports the summary (and a failed save) and closes the workbook.
void endPass(JobContext &job, PassState &pass);

// The user stopped the job between two passes: `valuesLeft` values are not searched.
void stopBeforePass(JobContext &job, int valuesLeft);

}  // namespace engine
