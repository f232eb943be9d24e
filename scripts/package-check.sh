#!/usr/bin/env bash
# Checks the .deb as it installs: builds it (scripts/package.sh) unless one is
# given, unpacks it into a scratch folder and checks its files, its Depends,
# its desktop entry, metainfo and manual pages, runs its programs from there
# on the system's Qt, and runs lintian (an error fails, the rest is shown).
#   bash scripts/package-check.sh [PACKAGE.deb]
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -gt 0 ]; then
  deb=$1
else
  # The build's lines go to stderr through the descriptor: opening
  # /dev/stderr again would truncate a log file it is redirected to.
  built=$(bash scripts/package.sh)
  printf '%s\n' "$built" >&2
  deb=$(tail -n1 <<<"$built")
fi
id=cz.zra.pelix4
scratch=$(mktemp -d)
pid=
cleanup() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  chmod -R u+w "$scratch" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
root=$scratch/root
dpkg -x "$deb" "$root"
failures=0
fail() {
  echo "package check: $*" >&2
  failures=$((failures + 1))
}
echo "package check: $deb"
dpkg-deb -f "$deb" Package Version Depends Recommends

# The files.
files=(usr/bin/pelix4-zra usr/bin/zra-sim usr/bin/zra-cli
  "usr/share/applications/$id.desktop" "usr/share/metainfo/$id.metainfo.xml"
  "usr/share/icons/hicolor/scalable/apps/$id.svg"
  usr/share/doc/pelix4-zra/copyright usr/share/doc/pelix4-zra/changelog.Debian.gz
  usr/lib/systemd/system/zra-export.service usr/share/doc/pelix4-zra/examples/zra-export-alerts.yml)
for program in pelix4-zra zra-sim zra-cli; do files+=("usr/share/man/man1/$program.1.gz"); done
for f in "${files[@]}"; do [ -s "$root/$f" ] || fail "no $f"; done
for n in 16 22 24 32 48 64 128 256; do
  png=$root/usr/share/icons/hicolor/${n}x$n/apps/$id.png
  [[ "$(file -b "$png")" == "PNG image data, $n x $n,"* ]] || fail "no ${n}x$n PNG icon"
done

# Depends names the package of every Qt library the programs link.
depends=$(dpkg-deb -f "$deb" Depends)
libraries=$(objdump -p "$root"/usr/bin/* | awk '$1 == "NEEDED" && $2 ~ /^libQt6/ { print $2 }' | sort -u) ||
  fail "objdump cannot read every program"
[[ "$libraries" == *libQt6Widgets.so.6* ]] || fail "the tool does not link Qt Widgets"
for library in $libraries; do
  package=$(dpkg -S "*/$library" | head -n1 | cut -d: -f1) || true
  [ -n "$package" ] || { fail "no installed package holds $library"; continue; }
  [[ ", $depends," == *", $package"[\ ,]* ]] || fail "Depends lacks $package ($library)"
done

# The desktop entry and the metainfo.
desktop=$root/usr/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate: $desktop"
for line in Exec=pelix4-zra Icon=$id Terminal=false; do
  grep -qx "$line" "$desktop" || fail "the desktop entry lacks $line"
done
grep -q '^Categories=.' "$desktop" || fail "the desktop entry has no Categories"
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree"

# The programs run from the unpacked package on the system's Qt, and their
# manual pages name every option their help does.
for program in zra-cli zra-sim; do
  help=$(env -u LD_LIBRARY_PATH "$root/usr/bin/$program" --help) || fail "$program --help failed"
  [[ "$help" == *"Usage: "*"$program"* ]] || fail "$program --help shows no usage"
  page=$(zcat "$root/usr/share/man/man1/$program.1.gz" | sed 's/\\-/-/g')
  while read -r option; do
    grep -q -- "$option" <<<"$page" || fail "$program.1 does not describe $option"
  done < <(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u)
done

# The tool started as a user starts the installed copy (its folder not
# writable; root may write anywhere, so it runs as nobody) makes its files'
# folder in the user's configuration folder, and nothing beside itself.
home=$scratch/home
mkdir "$home"
as=()
if [ "$(id -u)" -eq 0 ]; then
  chmod 755 "$scratch"
  chown nobody: "$home"
  as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
  chmod a-w "$root/usr/bin"
fi
"${as[@]}" env -i HOME="$home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen \
  "$root/usr/bin/pelix4-zra" >"$scratch/tool.log" 2>&1 &
pid=$!
for _ in $(seq 50); do
  [ -d "$home/.config/Pelix4 ZRA" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
if kill -0 "$pid" 2>/dev/null; then
  kill "$pid"
  wait "$pid" || true
else
  wait "$pid" || true
  fail "the tool ended at start:"
  cat "$scratch/tool.log" >&2
fi
pid=
[ -d "$home/.config/Pelix4 ZRA" ] || fail "the tool made no $home/.config/Pelix4 ZRA"
! compgen -G "$root/usr/bin/Pelix4*" >/dev/null || fail "the tool wrote beside itself in usr/bin"

# lintian: every tag is shown; an error fails.
status=0
lintian --display-info --pedantic "$deb" >"$scratch/lintian.txt" 2>&1 || status=$?
echo "lintian:"
cat "$scratch/lintian.txt"
if [ "$status" -ne 0 ] || grep -q '^E: ' "$scratch/lintian.txt"; then
  fail "lintian reports errors (status $status)"
fi

if [ "$failures" -ne 0 ]; then
  echo "package check: $failures failure(s)" >&2
  exit 1
fi
echo "package check: passed"
