#!/usr/bin/env bash
# Tries the README's two commands as a new user would, on a machine that has nothing yet: makes a
# minimal Debian 12 root with debootstrap (adding only git), clones this checkout's commit into it and
# runs scripts/run.sh (headless) and then scripts/test.sh there, as root, each with a clean
# environment. Reports each command's result and time. It downloads and installs every package, so
# it takes long and is not part of the test command.
#   scripts/fresh-check.sh [ROOT]    the root to make (build/fresh by default; made anew each time)
set -uo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "fresh-check: run as root (debootstrap and chroot)" >&2; exit 1; }
scripts/setup.sh || exit 1
root=$(realpath -m "${1:-build/fresh}")
log=$root.log

mounted() { grep -q " $root/" /proc/mounts; }
unmount_all() {
  # Whatever the commands left running in the root (Xvfb, the Wine server) holds it busy.
  for pid in $(ls /proc | grep -E '^[0-9]+$'); do
    [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ] && kill -9 "$pid" 2>/dev/null
  done
  sleep 1
  for point in dev/shm dev/pts dev sys proc; do
    mountpoint -q "$root/$point" && umount -l "$root/$point"
  done
}

unmount_all
if mounted; then
  echo "fresh-check: something is still mounted under $root; not removing it" >&2
  exit 1
fi
rm -rf "$root"
mkdir -p "$root"
echo "fresh-check: making a minimal Debian 12 in $root (log: $log)"
start=$SECONDS
if ! debootstrap --variant=minbase --include=git bookworm "$root" http://deb.debian.org/debian >"$log" 2>&1; then
  echo "fresh-check: debootstrap failed, see $log" >&2
  exit 1
fi
echo "fresh-check: debootstrap took $((SECONDS - start)) s"
trap unmount_all EXIT
mount -t proc proc "$root/proc"
mount -t sysfs sys "$root/sys"
mount --bind /dev "$root/dev"
mount -t devpts devpts "$root/dev/pts"
mount -t tmpfs tmpfs "$root/dev/shm"
cp /etc/resolv.conf "$root/etc/resolv.conf"
git clone -q --no-hardlinks "$PWD" "$root/root/tendral" || exit 1
echo "fresh-check: cloned $(git -C "$root/root/tendral" log -1 --format='%h %s')"

results=()
for command in scripts/run.sh scripts/test.sh; do
  start=$SECONDS
  chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /root/tendral && $command" >>"$log" 2>&1
  code=$?
  summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -n 1)
  [ "$command" = scripts/test.sh ] || summary=
  results+=("$command: exit code $code in $((SECONDS - start)) s${summary:+ ($summary)}")
  echo "fresh-check: ${results[-1]}"
done
echo "fresh-check: the commands' output is in $log"
printf '%s\n' "${results[@]}" | grep -qv 'exit code 0 ' && exit 1
exit 0
