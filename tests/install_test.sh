#!/usr/bin/env bash
# The installed tree: its layout, the validators, data found from the installed programs, and
# nothing written under the prefix or, by koravel-sim, in the user's folder. (The package, and
# lintian on it, are the README's commands, which CI runs.)
set -u
build=$1
command -v desktop-file-validate >/dev/null && command -v appstreamcli >/dev/null ||
  { echo "desktop-file-utils or appstream missing: skipped"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR="$dest/root" cmake --install "$build" --prefix /usr >/dev/null || fail "cmake --install failed"
root=$dest/root/usr
for f in bin/koravel bin/koravel-sim bin/koravel-board share/koravel/gfx/spheres.bmp share/koravel/sound/loop.wav \
         share/applications/koravel.desktop share/metainfo/io.github.koravel.koravel.metainfo.xml \
         share/icons/hicolor/48x48/apps/koravel.png share/icons/hicolor/128x128/apps/koravel.png \
         share/icons/hicolor/256x256/apps/koravel.png share/man/man6/koravel.6.gz share/man/man6/koravel-sim.6.gz share/man/man6/koravel-board.6.gz share/doc/koravel/copyright; do
  [ -e "$root/$f" ] || fail "$f is not installed"
done
out=$(desktop-file-validate "$root/share/applications/koravel.desktop" 2>&1) && [ -z "$out" ] ||
  fail "desktop-file-validate: $out"
appstreamcli validate --no-net --pedantic "$root/share/metainfo/io.github.koravel.koravel.metainfo.xml" \
  >"$dest/as.txt" 2>&1 || { cat "$dest/as.txt"; fail "appstreamcli validate"; }
grep -qE '^[IWEP]:' "$dest/as.txt" && { cat "$dest/as.txt"; fail "appstreamcli has remarks"; }

# The installed koravel-sim, started elsewhere with no --dir, finds its sprites and sounds, and
# writes nothing: neither under the prefix nor in the user's data folder.
mkdir -p "$dest/home" "$dest/elsewhere"
chmod -R a-w "$root"
printf '300 quit\n' > "$dest/quit.txt"
(cd "$dest/elsewhere" && HOME="$dest/home" XDG_DATA_HOME= "$root/bin/koravel-sim" --input "$dest/quit.txt" \
   >"$dest/out" 2>"$dest/err") || fail "the installed koravel-sim failed: $(cat "$dest/err")"
[ -s "$dest/err" ] && fail "the installed koravel-sim warned: $(cat "$dest/err")"
[ -z "$(ls -A "$dest/home")" ] || fail "koravel-sim wrote in the user's folder: $(find "$dest/home")"
[ -e "$root/share/koravel/scores" ] && fail "something was written under the prefix"
chmod -R u+w "$root"

"$root/bin/koravel-board" --sim /nonexistent 2>/dev/null; [ $? = 2 ] || fail "koravel-board without its koravel-sim"
# The board's service unit, as installed, checks clean (its program as it lies in this root).
unit="$root/lib/systemd/system/koravel-board.service"
[ -f "$unit" ] || fail "no systemd unit installed"
sed -E "s|^ExecStart=[^ ]+|ExecStart=$root/bin/koravel-board|" "$unit" > "$dest/koravel-board.service"
for want in DynamicUser=yes StateDirectory= PrivateTmp=yes ProtectSystem=strict NoNewPrivileges=yes MemoryMax=; do
  grep -q "^$want" "$unit" || fail "the unit lacks $want"
done
systemd-analyze verify --man=no "$dest/koravel-board.service" > "$dest/analyze.txt" 2>&1 ||
  fail "systemd-analyze verify: $(cat "$dest/analyze.txt")"
echo "install tests passed"
