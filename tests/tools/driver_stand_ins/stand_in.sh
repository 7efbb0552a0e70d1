# shellcheck shell=bash
# Sourced by the stand-ins of test_driver_test.sh. ZARA_STUB_FAIL lists what
# fails: "build:PRESET", "ctest:PRESET" (a failed test), "crash:PRESET" (ctest
# dies before its summary), "guest", "names", "platform", "shellcheck". Every call that
# matters is logged in ZARA_STUB_CALLS.
fails() { [[ " ${ZARA_STUB_FAIL:-} " == *" $1 "* ]]; }
called() { echo "$*" >>"$ZARA_STUB_CALLS"; }
