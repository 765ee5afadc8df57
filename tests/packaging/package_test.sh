#!/usr/bin/env bash
# The Debian package as an operator gets it: lint-clean, complete, and,
# extracted into a scratch root, working for an unprivileged user: resources
# read from share/quorvantix, working files in the user's data folder, and,
# with the raw-socket helper, devices found and a logo pushed as nobody.
# Usage: package_test.sh DEB SOURCE_DIR
set -euo pipefail
DEB="$(realpath "$1")"
SRC="$2"
. "$SRC/tests/packaging/segment.sh"
need_root
need lintian dpkg-deb desktop-file-validate appstreamcli setcap setpriv python3 Xvfb xwininfo xprop

echo "== lintian"
set +e
lintian --fail-on error --tag-display-limit 0 "$DEB" 2>&1 | tee "$SCRATCH/lintian.out"
rc=${PIPESTATUS[0]}
set -e
check "lintian reports no error" 0 "$rc"
check "lintian error tags" "" "$(grep '^E:' "$SCRATCH/lintian.out" || true)"

echo "== contents"
ROOT="$SCRATCH/root"
dpkg-deb -x "$DEB" "$ROOT"
chmod 0755 "$ROOT"
check "programs in bin (no build tool)" "quorvantix quorvantix-cli quorvantix-devsim" \
    "$(ls "$ROOT/usr/bin" | tr '\n' ' ' | sed 's/ $//')"
for f in share/quorvantix/Setting.ini share/quorvantix/Languages/Language.ini \
    share/quorvantix/Languages/Chinese.lng share/quorvantix/Skin/Application.ico \
    share/quorvantix/ExcelTemplate/Template.xls share/applications/quorvantix.desktop \
    share/metainfo/org.quorvantix.Quorvantix.metainfo.xml \
    share/icons/hicolor/scalable/apps/quorvantix.svg \
    share/bash-completion/completions/quorvantix-cli \
    share/man/man1/quorvantix.1.gz share/man/man1/quorvantix-cli.1.gz \
    share/man/man1/quorvantix-devsim.1.gz share/man/man8/quorvantix-netopen.8.gz \
    share/doc/quorvantix/copyright; do
    check "ships /usr/$f" yes "$([ -f "$ROOT/usr/$f" ] && echo yes || echo no)"
done
check "dissector among Wireshark's global Lua plugins" yes \
    "$([ -f "$ROOT/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/wireshark/plugins/quorvantix.lua" ] &&
        echo yes || echo no)"
check "no working folders shipped" "" \
    "$(find "$ROOT" \( -name ModifyXml -o -name ModifyExcel -o -name Log -o -name data.db \) -print)"
for size in 48 64 128 256; do
    png="$ROOT/usr/share/icons/hicolor/${size}x${size}/apps/quorvantix.png"
    check "icon ${size}x${size}" "$size $size" "$(python3 -c '
import struct, sys
b = open(sys.argv[1], "rb").read(24)
assert b[:8] == b"\x89PNG\r\n\x1a\n"
print(*struct.unpack(">II", b[16:24]))' "$png" 2>&1)"
done
check "desktop-file-validate" 0 "$(desktop-file-validate "$ROOT/usr/share/applications/quorvantix.desktop" >&2; echo $?)"
check "appstreamcli validate" 0 "$(appstreamcli validate --no-net "$ROOT/usr/share/metainfo/org.quorvantix.Quorvantix.metainfo.xml" >&2; echo $?)"
check "desktop file's window class" "StartupWMClass=quorvantix" \
    "$(grep '^StartupWMClass=' "$ROOT/usr/share/applications/quorvantix.desktop")"
for page in man1/quorvantix.1 man1/quorvantix-cli.1 man1/quorvantix-devsim.1 man8/quorvantix-netopen.8; do
    name="$(basename "$page")"
    check "manual page $name" ".TH \"${name%.*}\" \"${name##*.}\"" \
        "$(zcat "$ROOT/usr/share/man/$page.gz" | grep '^\.TH' | cut -d' ' -f1-3)"
done
depends="$(dpkg-deb -f "$DEB" Depends)"
for dep in libqt6widgets6 libpcap0.8 libsqlite3-0 adduser libcap2-bin; do
    check "depends on $dep" yes "$(echo "$depends" | grep -qw "$dep" && echo yes || echo no)"
done
check "recommends a CJK font" yes "$(dpkg-deb -f "$DEB" Recommends | grep -q fonts-noto-cjk && echo yes || echo no)"
dpkg-deb -e "$DEB" "$SCRATCH/control"

echo "== two folders, run as nobody"
USER_HOME="$SCRATCH/home"
mkdir -p "$USER_HOME" "$SCRATCH/runtime"
chown nobody "$USER_HOME" "$SCRATCH/runtime"
chmod 0700 "$SCRATCH/runtime"
WORK="$USER_HOME/.local/share/quorvantix"
CLI="$ROOT/usr/bin/quorvantix-cli"
touch "$SCRATCH/before"
as_nobody() { # as_nobody [--groups G] CMD...: nobody with a clean environment
    local groups=--clear-groups
    if [ "$1" = --groups ]; then
        groups="--groups=$2"
        shift 2
    fi
    setpriv --reuid=nobody --regid=nogroup "$groups" --reset-env \
        env HOME="$USER_HOME" LANG="${RUN_LANG:-C.UTF-8}" "$@"
}
printf '<?xml version="1.0"?>\n<Config>\n  <Value Name="LOID" Value="x"/>\n</Config>\n' >"$SCRATCH/t.xml"
chmod 0644 "$SCRATCH/t.xml"
set +e
sheet="$(as_nobody "$CLI" sheet export --template "$SCRATCH/t.xml" --mac 02:00:00:00:00:01 2>"$SCRATCH/sheet.err")"
rc=$?
set -e
check "sheet export from the shipped template" 0 "$rc"
cat "$SCRATCH/sheet.err"
check "the sheet lands in the working folder" "$WORK/ModifyExcel" "$(dirname "$sheet")"
check "working folder mode" 700 "$(stat -c %a "$WORK")"
for sub in ModifyXml ModifyExcel Log; do
    check "working folder $sub mode" 700 "$(stat -c %a "$WORK/$sub")"
done
check "working files are the user's and 0600" "nobody 600" "$(stat -c '%U %a' "$sheet")"
check "nothing written below the package's root" "" "$(find "$ROOT" -newer "$SCRATCH/before" -print)"
check "no resource copied into the working folder" "" \
    "$(ls "$WORK" | grep -v -x -e ModifyXml -e ModifyExcel -e Log || true)"

# The desktop program, installed, on a display of the test's own: it opens its
# record store in the working folder, and its window's class is the one the
# desktop entry names, so the desktop shows the window under its entry.
display=1500
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -ac -nolisten tcp -screen 0 1280x1024x24 >"$SCRATCH/xvfb.out" 2>&1 &
XVFB=$!
CLEANUP+=("kill $XVFB")
for ((i = 0; i < 500; i++)); do
    [ -S "/tmp/.X11-unix/X$display" ] && break
    sleep 0.01
done
as_nobody env DISPLAY=":$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$SCRATCH/runtime" \
    "$ROOT/usr/bin/quorvantix" >"$SCRATCH/desktop.out" 2>&1 &
DESKTOP=$!
CLEANUP+=("kill $DESKTOP")
window_classes() {
    local w
    for w in $(xwininfo -display ":$display" -root -children 2>/dev/null | awk '/^ +0x/ {print $1}'); do
        xprop -display ":$display" -id "$w" WM_CLASS 2>/dev/null
    done | sed -n 's/^WM_CLASS(STRING) = //p'
}
classes=""
for ((i = 0; i < 1000; i++)); do
    classes="$(window_classes)"
    [ -n "$classes" ] && [ -e "$WORK/data.db" ] && break
    sleep 0.01
done
check "the desktop program's record store is the user's and 0600" "nobody 600" \
    "$(stat -c '%U %a' "$WORK/data.db" 2>&1)"
wm_class="$(sed -n 's/^StartupWMClass=//p' "$ROOT/usr/share/applications/quorvantix.desktop")"
check "the window's class is the desktop entry's StartupWMClass" "\"quorvantix\", \"$wm_class\"" \
    "$(echo "$classes" | sort -u)"
check "the desktop program keeps running" yes "$(kill -0 "$DESKTOP" 2>/dev/null && echo yes || echo no)"
kill "$DESKTOP"
wait "$DESKTOP" 2>/dev/null || true
cat "$SCRATCH/desktop.out"

# Language texts from share/quorvantix/Languages, overridden by the operator's own file.
RUN_LANG=zh_CN.UTF-8
echo '[{}]' >"$SCRATCH/params.json"
chmod 0644 "$SCRATCH/params.json"
set +e
shipped="$(as_nobody "$CLI" validate --template "$SCRATCH/missing.xml" --params "$SCRATCH/params.json" 2>&1)"
mkdir -p "$WORK/Languages"
printf '[ProgramOutStr]\nanalysis xml settting error?=operator text\n' >"$WORK/Languages/Chinese.lng"
chown -R nobody "$WORK/Languages"
own="$(as_nobody "$CLI" validate --template "$SCRATCH/missing.xml" --params "$SCRATCH/params.json" 2>&1)"
set -e
check "the shipped Chinese texts are read" yes "$(echo "$shipped" | grep -q '解析 XML 配置出错' && echo yes || echo no)"
check "the operator's own language file wins" yes "$(echo "$own" | grep -q 'operator text' && echo yes || echo no)"
RUN_LANG=C.UTF-8

echo "== maintainer scripts"
# The package's own postinst and postrm, pointed at the extracted helper (or a
# stand-in while the package has none) and at a group of the test's own.
HELPER="$ROOT/usr/libexec/quorvantix/quorvantix-netopen"
TARGET="$HELPER"
if [ ! -e "$HELPER" ]; then
    TARGET="$SCRATCH/helper-stand-in"
    touch "$TARGET"
fi
GROUP="qvpkg$$"
CLEANUP+=("groupdel '$GROUP'")
for script in postinst postrm; do
    sed -e "s|^HELPER=.*|HELPER='$TARGET'|" -e "s|^GROUP=.*|GROUP=$GROUP|" \
        "$SCRATCH/control/$script" >"$SCRATCH/$script"
done
sh "$SCRATCH/postinst" configure >"$SCRATCH/postinst.out" 2>&1
cat "$SCRATCH/postinst.out"
check "postinst makes a system group" yes \
    "$(gid=$(getent group "$GROUP" | cut -d: -f3) && [ "$gid" -lt 1000 ] && echo yes || echo no)"
check "postinst: the helper is root:group 0750" "root $GROUP 750" "$(stat -c '%U %G %a' "$TARGET")"
check "postinst: the helper may open raw sockets" "cap_net_raw=ep" "$(getcap "$TARGET" | awk '{print $2}')"
check "postinst tells how to join" yes \
    "$(grep -q "adduser USER $GROUP, then log out and in again" "$SCRATCH/postinst.out" && echo yes || echo no)"
GID="$(getent group "$GROUP" | cut -d: -f3)"

# Devices found and a logo pushed by nobody, through the extracted helper.
push_as_nobody() {
    # The extracted CLI as nobody inside the namespace, in a mount namespace where
    # the extracted libexec folder stands in for /usr/libexec, so the helper is
    # found where the installed package puts it.
    as_operator() { # as_operator --groups=G|--clear-groups ARGS...
        local groups="$1"
        shift
        in_segment unshare --mount --propagation private \
            sh -c 'mount --bind "$0/usr/libexec" /usr/libexec && exec "$@"' "$ROOT" \
            setpriv --reuid=nobody --regid=nogroup "$groups" --reset-env \
            env HOME="$USER_HOME" "$CLI" "$@"
    }
    make_segment
    mkdir -p "$SCRATCH/out"
    start_devsim "$ROOT/usr/bin/quorvantix-devsim" --count 2 --output "$SCRATCH/out"
    # A logo within the device's limits (229 x 51 pixels, 6000 bytes); the
    # picture is read by its content, whatever its name says.
    cp "$ROOT/usr/share/icons/hicolor/48x48/apps/quorvantix.png" "$SCRATCH/logo.jpg"
    chmod 0644 "$SCRATCH/logo.jpg"
    set +e
    found="$(as_operator --groups="$GID" discover --adapter "$TOOL_END" --broadcasts 1 \
        2>"$SCRATCH/discover.err")"
    rc=$?
    set -e
    cat "$SCRATCH/discover.err"
    check "discover as a member of the helper's group" 0 "$rc"
    check "devices found" "02:00:00:00:00:01 02:00:00:00:00:02" \
        "$(echo "$found" | grep -o '02:00:00:00:00:0[0-9]' | sort -u | tr '\n' ' ' | sed 's/ $//')"
    set +e
    as_operator --groups="$GID" push --adapter "$TOOL_END" --broadcasts 1 --wait 15 \
        --logo "$SCRATCH/logo.jpg" --all >"$SCRATCH/push.out" 2>&1
    rc=$?
    set -e
    cat "$SCRATCH/push.out"
    check "push a logo as nobody" 0 "$rc"
    check "each device got the logo" "2" "$(cmp -s "$SCRATCH/logo.jpg" "$SCRATCH"/out/*01-logo-1 && cmp -s "$SCRATCH/logo.jpg" "$SCRATCH"/out/*02-logo-1 && echo 2)"
    log="$(ls "$WORK"/Log/*/Success.txt 2>/dev/null | head -n1)"
    check "the verdicts are logged in the user's data folder, 0600" "nobody 600" "$(stat -c '%U %a' "$log" 2>&1)"
    set +e
    as_operator --clear-groups discover --adapter "$TOOL_END" --broadcasts 1 >/dev/null \
        2>"$SCRATCH/refused.err"
    rc=$?
    set -e
    check "without the group: exit 1" 1 "$rc"
    check "without the group: the reason" yes \
        "$(grep -q 'CAP_NET_RAW' "$SCRATCH/refused.err" && echo yes || echo no)"
}

echo "== raw frames as nobody through the helper"
if [ -e "$HELPER" ]; then
    push_as_nobody
else
    echo "SKIP: the package has no quorvantix-netopen yet; the push as nobody is not tried"
fi

sh "$SCRATCH/postrm" remove
check "postrm keeps the group on remove" yes "$(getent group "$GROUP" >/dev/null && echo yes || echo no)"
sh "$SCRATCH/postrm" purge
check "postrm removes the group on purge" no "$(getent group "$GROUP" >/dev/null && echo yes || echo no)"
finish
