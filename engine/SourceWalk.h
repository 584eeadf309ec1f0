// SPDX-License-Identifier: Apache-2.0
// One pass over the source files: open each workbook, pick its sheets,
// search them, close it without saving.
#pragma once

#include "engine/JobContext.h"

#include <QStringList>

namespace engine {

void walkSources(JobContext &job, PassState &pass, const QStringList &sourceFiles);

}  // namespace engine
