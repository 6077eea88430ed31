# The sanitizers' run-time settings for the checked build; sourced by the scripts that run it.
# A finding fails the run at once, with a symbolised stack; leaks are checked at exit.
checked_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$checked_root/tests/lsan.supp:print_suppressions=0"
# The panel paints by raster alone. Without this, the xcb platform asks Mesa's GLX for every window's
# visual, and Mesa's driver keeps 128 bytes from its one-time set-up; it unloads before the leak check,
# so no suppression by library can name it.
export QT_XCB_GL_INTEGRATION=none
