# The sanitizers' run-time settings for the checked build; sourced by the scripts that run it.
# A finding fails the run at once, with a symbolised stack; leaks are checked at exit.
checked_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$checked_root/tests/lsan.supp:print_suppressions=0"
