// SPDX-License-Identifier: Apache-2.0
// What every write gives back, from one call on a file up to the save of a
// whole workbook through the interface: done, or why not, in the writer's
// words and as a kind a front end can put in its own words.
#pragma once

#include "automation/SaveFailure.h"

#include <string>
#include <utility>

namespace automation {

struct WriteResult {
    bool ok = false;
    std::string error;  // why not, when !ok
    SaveFailure failure = SaveFailure::None;
    // Some cell formats took the place of others to stay within what the
    // applications load (StylesPart's limits).
    bool formatsSimplified = false;

    explicit operator bool() const { return ok; }
    static WriteResult done() { return WriteResult{true, {}, SaveFailure::None, false}; }
    // A failure always has a kind: Other when nothing more is known.
    static WriteResult failed(std::string why, SaveFailure kind = SaveFailure::Other) {
        return WriteResult{false, std::move(why), kind == SaveFailure::None ? SaveFailure::Other : kind, false};
    }
};

}  // namespace automation
