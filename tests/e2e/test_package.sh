#!/usr/bin/env bash
# The Debian package as a player gets it: made by CPack from this build,
# checked by lintian, installed with apt-get, the installed game started
# from / and by its menu entry's command (its status lines read from the
# screen, Escape), then removed, leaving none of its files behind.
# Needs root (it installs the package on this machine).
# Usage: test_package.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"
[ "$sanitized" = yes ] && skip "a sanitizer build is not packaged"
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
dpkg-query -W -f='${Status}' varnhold 2>/dev/null | grep -q "install ok installed" &&
    skip "varnhold is installed on this machine already; remove it to run this test"
needs "cmake, dpkg-dev, lintian" cpack dpkg-shlibdeps lintian apt-get
installed=no
test_cleanup() { [ "$installed" = yes ] && apt-get remove -y varnhold >/dev/null 2>&1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package") >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack could not make the package"; }
deb=$(ls "$work"/package/varnhold_*_amd64.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no varnhold_<version>_amd64.deb: $(ls "$work/package")"
lintian "$deb" >"$work/lintian.log" 2>&1
grep '^E:' "$work/lintian.log" && fail "lintian found errors"
ok "$(basename "$deb"), $(stat -c %s "$deb") bytes, no lintian error ($(grep -c '^W:' "$work/lintian.log") warnings)"

DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" >"$work/apt.log" 2>&1 ||
    { tail -n 20 "$work/apt.log"; fail "apt-get could not install the package"; }
installed=yes
dpkg-query -L varnhold | while read -r path; do [ -d "$path" ] || echo "$path"; done >"$work/files"
for path in /usr/games/varnhold /usr/share/games/varnhold/bmp_scr/intro1.bmp /usr/share/man/man6/varnhold.6.gz \
    /usr/share/applications/varnhold.desktop /usr/share/doc/varnhold/copyright; do
    grep -qx "$path" "$work/files" || fail "the package has no $path"
done
ok "installed $(wc -l <"$work/files") files"

start_xserver
menu_command=$(sed -n 's/^Exec=//p' /usr/share/applications/varnhold.desktop)
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
