#!/usr/bin/env bash
# Installs from Debian's packages what the checked builds need beyond tools/install-deps.sh: clang with
# its sanitizer and libFuzzer runtimes, and the symbolizer that turns their reports into source lines.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

missing=()
for package in clang llvm; do
    installed "$package" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The runtimes (libFuzzer, ASan, UBSan) come in a package named after clang's major version.
major=$(clang -dumpversion | cut -d. -f1)
runtime="libclang-rt-${major}-dev"
if ! installed "$runtime"; then
    echo "Installing: $runtime"
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "$runtime"
fi
