# shellcheck shell=bash
# Wine for PREFIX-DIR and 32|64 bits: only the architecture the ctest
# stand-in logs.
export WINEARCH=win$2
zara_wine_stop() { :; }
