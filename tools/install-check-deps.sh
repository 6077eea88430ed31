#!/usr/bin/env bash
# Installs from Debian's packages what the checked builds need beyond tools/install-deps.sh: clang with
# its sanitizer and libFuzzer runtimes, and the symbolizer that turns their reports into source lines.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

tools/install-missing.sh clang llvm
# The runtimes (libFuzzer, ASan, UBSan) come in a package named after clang's major version.
tools/install-missing.sh "libclang-rt-$(clang -dumpversion | cut -d. -f1)-dev"
