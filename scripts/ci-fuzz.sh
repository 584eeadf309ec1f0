#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# CI: every fuzz target for a short while (about a minute in all): enough to
# replay the seeds and what lies near them, so a change that makes a reader
# crash there fails. scripts/fuzz.sh 600 is the longer run for developers.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS=0
FUZZ_BUILD_DIR=build-ci-fuzz bash scripts/fuzz.sh "${CI_FUZZ_SECONDS:-70}"
echo "fuzz: ${SECONDS}s"
