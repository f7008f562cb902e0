#!/bin/sh
# Runs a Windows program under Wine, quietly, in the prefix that WINEPREFIX
# names (the build folder's own, set by the tests).
: "${WINEPREFIX:?set WINEPREFIX to the build folder's Wine prefix}"
export WINEPREFIX WINEDEBUG=-all
exec wine "$@"
