# Sourced by tools/wine-run.sh and tests/e2e/run-under-x.sh: builds the Wine
# prefix in $WINEPREFIX on first use (~15 s). A lock makes parallel callers
# wait for it; a marker says it is ready.
ensure_wine_prefix() {
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.setup-ready" ]; then
      timeout 300 "${SETUP_WINE:-/usr/lib/wine/wine64}" wineboot -i >/dev/null 2>&1 || true
      timeout 60 /usr/lib/wine/wineserver -w || true
      touch "$WINEPREFIX/.setup-ready"
    fi
  ) 9>"$WINEPREFIX/.lock"
}
