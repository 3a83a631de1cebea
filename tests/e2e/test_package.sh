#!/usr/bin/env bash
# The Debian package as a player gets it: made by CPack from this build,
# checked by lintian, its game hardened as Debian's own, its AppStream file
# valid, installed with apt-get, the installed game started
# from / and by its menu entry's command (its status lines read from the
# screen, Escape), then removed, leaving none of its files behind.
# Needs root (it installs the package on this machine).
# Usage: test_package.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"
[ "$sanitized" = yes ] && skip "a sanitizer build is not packaged"
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
dpkg-query -W -f='${Status}' varnhold 2>/dev/null | grep -q "install ok installed" &&
    skip "varnhold is installed on this machine already; remove it to run this test"
needs "cmake, dpkg-dev, lintian, appstream, devscripts" cpack dpkg-shlibdeps lintian apt-get appstreamcli hardening-check
grep -q '^VARNHOLD_RSVG_CONVERT:FILEPATH=/' "$build/CMakeCache.txt" ||
    fail "the build found no rsvg-convert, so the package has no PNG icons (package librsvg2-bin)"
installed=no
test_cleanup() { [ "$installed" = yes ] && apt-get remove -y varnhold >/dev/null 2>&1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package") >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack could not make the package"; }
deb=$(ls "$work"/package/varnhold_*_amd64.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no varnhold_<version>_amd64.deb: $(ls "$work/package")"
lintian "$deb" >"$work/lintian.log" 2>&1
grep -E '^(E|W):' "$work/lintian.log" && fail "lintian found errors or warnings"
ok "$(basename "$deb"), $(stat -c %s "$deb") bytes, no lintian error or warning"

# The game as packaged (stripped), unpacked beside the package.
dpkg-deb -x "$deb" "$work/unpacked" || fail "dpkg-deb could not unpack the package"
hardening-check "$work/unpacked/usr/games/varnhold" >"$work/hardening.log" 2>&1
sed 's/^/  /' "$work/hardening.log"
for protection in "Position Independent Executable" "Stack protected" "Fortify Source functions" \
    "Read-only relocations" "Immediate binding" "Control flow integrity"; do
    grep -q "^ $protection: yes" "$work/hardening.log" || fail "the packaged game lacks: $protection"
done
ok "the packaged game is hardened: PIE, stack protector, fortify, relro, immediate binding, control flow"

DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" >"$work/apt.log" 2>&1 ||
    { tail -n 20 "$work/apt.log"; fail "apt-get could not install the package"; }
installed=yes
dpkg-query -L varnhold | while read -r path; do [ -d "$path" ] || echo "$path"; done >"$work/files"
app_id=org.varnhold.Varnhold
icons=/usr/share/icons/hicolor
for path in /usr/games/varnhold /usr/share/games/varnhold/bmp_scr/intro1.bmp /usr/share/man/man6/varnhold.6.gz \
    /usr/share/applications/$app_id.desktop /usr/share/metainfo/$app_id.metainfo.xml \
    /usr/share/doc/varnhold/copyright $icons/scalable/apps/$app_id.svg $icons/48x48/apps/$app_id.png \
    $icons/64x64/apps/$app_id.png $icons/128x128/apps/$app_id.png; do
    grep -qx "$path" "$work/files" || fail "the package has no $path"
done
ok "installed $(wc -l <"$work/files") files"
grep -q '^License: GPL-3.0+$' /usr/share/doc/varnhold/copyright ||
    fail "the copyright file does not name GPL-3.0+"
grep -q '/usr/share/common-licenses/GPL-3' /usr/share/doc/varnhold/copyright ||
    fail "the copyright file does not point at the licence's text"
ok "the copyright file gives the game under GPL-3.0+"
# The metainfo alone, then with the menu entry and icons it names, as
# packaged: any error or warning fails either (an icon off its folder's size
# is lintian's).
appstreamcli validate --no-net "/usr/share/metainfo/$app_id.metainfo.xml" >"$work/appstream.log" 2>&1 &&
    appstreamcli validate-tree --no-net "$work/unpacked" >>"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log"; fail "appstreamcli found the metainfo or the package's tree invalid"; }
grep -q "<binary>varnhold</binary>" "/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "the metainfo does not say it provides the varnhold binary"
ok "appstreamcli validates the metainfo: no error, no warning"

start_xserver
menu_command=$(sed -n 's/^Exec=//p' "/usr/share/applications/$app_id.desktop")
[ -n "$menu_command" ] || fail "the menu entry has no command"
for how in "/usr/games/varnhold" "$menu_command"; do
    # shellcheck disable=SC2086
    start_game / $how
    expect_status_lines "$how from /"
    dump && [ "$("$check" picture "$work/screen.xwd" 200 200 /usr/share/games/varnhold/bmp_scr/intro1.bmp)" -ge 900 ] ||
        fail "$how from /: the installed intro picture is not on the screen"
    quit_with_escape "$how from /"
    ok "\"$how\" started from / shows its status lines and pictures and ends with 0 on Escape"
done

DEBIAN_FRONTEND=noninteractive apt-get remove -y varnhold >"$work/apt.log" 2>&1 || fail "apt-get could not remove the package"
installed=no
left=$(while read -r path; do [ -e "$path" ] || [ -L "$path" ] && echo "$path"; done <"$work/files")
[ -z "$left" ] || fail "files left after removal: $left"
ok "apt-get remove leaves none of its files behind"
finish
