# Sourced by the scripts: the two Windows architectures the tree builds for,
# where each one's build lives, and whether this host can run the i686 one.
#
# The i686 build is the product. The x86_64 build exists for hosts that run
# no 32-bit programs (the kernel's IA-32 emulation is off) and for a 64-bit
# Shockwave Flash control; 64-bit Wine runs it on every x86-64 host.

qp_arches=(i686 x86_64)

# The CMake build folder of an architecture, relative to the source tree.
qp_build_dir() {
  case "$1" in
    i686) echo build ;;
    x86_64) echo build/x64 ;;
    *) echo "arch.sh: unknown architecture $1" >&2; return 1 ;;
  esac
}

# Sets qp_no_i686 to why this host cannot run the i686 build under Wine, or
# to nothing when it can. Probed once per script: Debian's 32-bit Wine
# loader is an i386 program, so running it asks the kernel itself.
# QP_NO_I686=1 makes a host that can count as one that cannot.
qp_probe_i686() {
  [ -n "${qp_i686_probed:-}" ] && return 0
  qp_i686_probed=1
  qp_no_i686=
  local loader=/usr/lib/wine/wine out
  if [ "${QP_NO_I686:-0}" = 1 ]; then
    qp_no_i686="QP_NO_I686=1 makes this host count as one that cannot run 32-bit programs"
  elif [ ! -e "$loader" ]; then
    qp_no_i686="32-bit Wine (wine32:i386) is not installed"
  elif ! out=$("$loader" --version 2>&1 </dev/null); then
    case "$out" in
      *"Exec format error"*|*"cannot execute binary file"*)
        qp_no_i686="this host cannot run 32-bit programs (IA-32 emulation is off)" ;;
      *)
        qp_no_i686="32-bit Wine does not start ($loader --version: ${out:0:200})" ;;
    esac
  fi
  return 0
}

# True when the i686 build can run here.
qp_host_runs_i686() {
  qp_probe_i686
  [ -z "$qp_no_i686" ]
}
