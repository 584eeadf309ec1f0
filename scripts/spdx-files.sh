# SPDX-License-Identifier: Apache-2.0
# Which tracked files carry the licence line, and in which comment form.
# Sourced by add-spdx-headers.sh and check-spdx-headers.sh.

spdx_files() {
  git ls-files -- '*.cpp' '*.h' '*.sh' '*.py' 'CMakeLists.txt' '*/CMakeLists.txt' '*.cmake' '.ci/run'
}

spdx_line_for() {
  case "$1" in
    *.cpp | *.h) echo "// SPDX-License-Identifier: Apache-2.0" ;;
    *) echo "# SPDX-License-Identifier: Apache-2.0" ;;
  esac
}
