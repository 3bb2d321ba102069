# Sourced by scripts/run for --install and --uninstall, after the build, the
# Wine session and the CDDB and AccurateRip servers: sets `status`.
# Install and uninstall in a Wine prefix of their own, copied from the
# template prefix of the install tests, so that nothing of an earlier install
# is there. The installed program reads the virtual drive as the run's program
# does, as on Windows 98, from the ASPI manager installed in the prefix's
# system folder as on a machine that has one (the install folder holds only
# what the installer put there).
install_prefix="$run/install-prefix"
in_install_prefix() { WINEPREFIX="$install_prefix" "$@"; }
stop_install_prefix() { in_install_prefix wineserver -k 2>/dev/null || true; in_install_prefix wineserver -w 2>/dev/null || true; }
trap 'end_program 0 || true; stop_install_prefix; stop_cddb; stop_accuraterip; stop_ftp; wine_session_stop' EXIT
remote_install() {  # COMMAND...
  timeout --foreground -k 5 "$deadline" env WINEPREFIX="$install_prefix" \
    "$root/cmake/wine-run" "$build/tools/remote/corvane-remote.exe" "$@"
}
export VDRIVE_CONFIG="$vdrive"
status=0
if [ -n "$install" ]; then
  rm -rf "$install_prefix"
  WINEPREFIX="$build/wineprefix-template" "$root/cmake/wine-run" --create "$build"
  cp -a "$build/wineprefix-template" "$install_prefix"
  echo "scripts/run: installing from $build/Corvane-Setup.exe into the fresh Wine prefix $install_prefix"
  in_install_prefix "$root/tools/vdrive/vdrive-prefix" "$build" corvane.exe
  cp "$build/src/WNASPI32.dll" "$install_prefix/drive_c/windows/system32/wnaspi32.dll"
  in_install_prefix set_value 'HKLM\Software\Talmarin\Corvane\Settings' CDDBServer "$cddb"
  in_install_prefix set_value 'HKLM\Software\Talmarin\Corvane\Settings' AccurateRipServer "$accuraterip"
  in_install_prefix "$root/cmake/wine-run" "$build/Corvane-Setup.exe" &
  program=$!
  remote_install install 120 wait-ready 120 close || status=$?
  end_program 10 || status=1
  echo "scripts/run: installed:"
  remote_install list-install || status=$?
fi
if [ -n "$uninstall" ] && [ "$status" -eq 0 ]; then
  [ -f "$install_prefix/.prepared" ] || { echo "scripts/run: no install to remove: run --install first" >&2; exit 1; }
  uninstaller=$(in_install_prefix "$root/cmake/wine-run" reg query \
    'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Corvane' /v UninstallString 2>/dev/null |
    tr -d '\r' | sed -n 's/.*REG_SZ *//p')
  [ -n "$uninstaller" ] || { echo "scripts/run: the prefix has no uninstall entry for Corvane" >&2; exit 1; }
  echo "scripts/run: running the uninstaller $uninstaller"
  in_install_prefix "$root/cmake/wine-run" "$uninstaller" &
  program=$!
  remote_install uninstall 120 || status=$?
  end_program 10 || status=1
  echo "scripts/run: what remains:"
  remote_install list-install || status=$?
fi
