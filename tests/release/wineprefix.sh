# Shared by the scripts that run Windows programs under Wine (sourced): a Wine prefix of the run's
# own, made once before anything is timed, with no crash dialog (a crash would wait on it forever)
# and no offer to install Mono or Gecko. Expects a fail function; sets WINEPREFIX.

make_wineprefix() {  # folder
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot -i >"$1.log" 2>&1 || fail "wineboot failed: $(tail -n 5 "$1.log")"
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 ||
    fail "could not turn Wine's crash dialog off"
  wineserver -w
}
