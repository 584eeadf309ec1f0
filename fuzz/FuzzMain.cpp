// SPDX-License-Identifier: Apache-2.0
// libFuzzer's entry point for one target; ROWSIFTER_FUZZ_BODY names its body.
#include "fuzz/FuzzBodies.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!rowsifter::fuzz::ROWSIFTER_FUZZ_BODY(data, size)) std::abort();
    return 0;
}
