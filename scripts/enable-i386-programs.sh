#!/bin/sh
# Makes sure this machine can run the device's 32-bit programs. A kernel
# without 32-bit support (some virtual machines) refuses them ("Exec format
# error"); there they run under Debian's qemu-user-static, registered with the
# kernel's binfmt_misc for i386 programs (with the F flag, so that it serves
# programs started inside a chroot too). Exits 1, saying why, when neither
# works.
set -eu
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf 'int main(void) { return 0; }\n' > "$probe/probe.c"
cc -m32 -o "$probe/probe" "$probe/probe.c"
if "$probe/probe" 2>/dev/null; then
  exit 0
fi
echo "this kernel does not run 32-bit programs: running them under qemu-user-static"
"$(dirname "$0")/install-missing.sh" qemu-user-static
binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
if [ ! -e "$binfmt/ixo-qemu-i386" ]; then
  # The ELF header of an i386 executable or shared object, as qemu's own
  # binfmt configuration describes it.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf '%s' ":ixo-qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:F" > "$binfmt/register"
fi
if ! "$probe/probe"; then
  echo "cannot run 32-bit programs on this machine, not even under qemu-user-static" >&2
  exit 1
fi
