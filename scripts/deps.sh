#!/usr/bin/env bash
# Installs the Debian packages of the named sets when any is missing:
#   run           building the programs and running them (./run.sh)
#   pictures      the private virtual X server and the tools that take
#                 ./run.sh's pictures when there is no display
#   test-build    what building the tests and benchmarks needs
#   test-x11      what the unit and X11 tests run besides those
#   test-wayland  the headless compositors the Wayland and GNOME tests start
#   test-package  the tools that build and check the Debian package
# ./run.sh asks for "run" (and "pictures" without a display), ./test.sh for all
# of them; no set named means all of them.
#   --missing    installs nothing; prints the packages of the sets not installed
#   --authorise  installs nothing; when the sets lack packages that only sudo
#                with a password can install, asks for the password now, so
#                that a later run in the background installs without a prompt
# Exits non-zero with the missing packages named when it can neither run apt-get
# as root nor through sudo.
set -euo pipefail

mode=install
case ${1:-} in
  --missing | --authorise) mode=${1#--}; shift ;;
esac

RUN_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libx11-dev libgl-dev libglx-mesa0 libgl1-mesa-dri libglu1-mesa-dev
  libxrandr-dev libxfixes-dev libxss-dev libxext-dev
  libxres-dev  # X-Resource: which process made a window that claims to hold the display mode
  qt6-base-dev qt6-qpa-plugins qt6-image-formats-plugins
  libwayland-dev libwayland-bin wayland-protocols libegl-dev libegl-mesa0  # the renderer's Wayland backend
  libxkbcommon-dev  # the Wayland keymap, read for the Escape key
  libsystemd-dev  # sd-bus: the session's screen-saver inhibit, GNOME's overview and idle clock
  plasma-wayland-protocols  # veltrane-idle: org_kde_kwin_idle, sway 1.7's idle clock
  x11-utils  # xdpyinfo tells ./run.sh whether there is a display; xmessage hosts the preview
  xdg-utils  # the dialog opens its links with xdg-open
  fonts-dejavu-core fonts-ipafont-gothic  # the faces the dialog's fonts map to
  file  # cpack reads the programs' type with it when it makes the Debian package
)

PICTURES_PACKAGES=(
  xvfb imagemagick xdotool
)

TEST_BUILD_PACKAGES=(
  libgtest-dev libgmock-dev libbenchmark-dev libxtst-dev
)

TEST_X11_PACKAGES=(
  x11-xserver-utils  # xset, the X server's screen saver in the launcher tests
  openbox  # a window manager for the tests that run with one
  xsecurelock  # a real saver host for the host-mode test
  dbus-daemon  # private session buses
  dbus-x11  # dbus-launch, so the tests can check that the shell never auto-starts a session bus
  xauth procps
)

TEST_WAYLAND_PACKAGES=(
  sway swaybg grim wtype weston xwayland jq  # private headless compositors for the Wayland tests and pictures; jq reads swaymsg
  gnome-shell gsettings-desktop-schemas libglib2.0-bin  # a private headless gnome-shell with its own buses; gdbus talks to it
  kwin-wayland  # headless KWin
)

TEST_PACKAGE_PACKAGES=(
  dpkg-dev lintian desktop-file-utils man-db libxml2-utils
)

sets=(run pictures test-build test-x11 test-wayland test-package)
[ $# -gt 0 ] || set -- "${sets[@]}"
wanted=()
for set_name in "$@"; do
  case $set_name in
    run) wanted+=("${RUN_PACKAGES[@]}") ;;
    pictures) wanted+=("${PICTURES_PACKAGES[@]}") ;;
    test-build) wanted+=("${TEST_BUILD_PACKAGES[@]}") ;;
    test-x11) wanted+=("${TEST_X11_PACKAGES[@]}") ;;
    test-wayland) wanted+=("${TEST_WAYLAND_PACKAGES[@]}") ;;
    test-package) wanted+=("${TEST_PACKAGE_PACKAGES[@]}") ;;
    *) echo "usage: $0 [--missing | --authorise] [${sets[*]}]..." >&2; exit 2 ;;
  esac
done

# One dpkg-query for the lot: it prints a line for each package it knows of.
declare -A installed=()
while read -r name status; do
  [ "$status" = installed ] && installed[$name]=1
done < <(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${wanted[@]}" 2>/dev/null || true)
missing=()
for p in "${wanted[@]}"; do
  [ -n "${installed[$p]:-}" ] || missing+=("$p")
done

if [ "$mode" = missing ]; then
  [ ${#missing[@]} -eq 0 ] || echo "${missing[*]}"
  exit 0
fi
[ ${#missing[@]} -gt 0 ] || exit 0

if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
  SUDO=(sudo -n)
elif command -v sudo >/dev/null 2>&1 && [ -t 0 ]; then
  SUDO=(sudo)
else
  echo "error: these Debian packages are missing and I can neither run apt-get as root nor through sudo:" >&2
  echo "  ${missing[*]}" >&2
  echo "Install them (apt-get install ...) and run this script again." >&2
  exit 1
fi
if [ "$mode" = authorise ]; then
  [ "${SUDO[*]}" != sudo ] || sudo -v
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Another install (an earlier run's, or the system's own updates) may hold
# dpkg's lock for a while: wait for it rather than fail.
lock=(-o DPkg::Lock::Timeout=300)
install() { "${SUDO[@]}" apt-get "${lock[@]}" install -y -qq --no-install-recommends "${missing[@]}"; }
# The package lists are used as they are when they serve: ./test.sh installs
# its sets in two runs, and an update takes half a minute on a busy machine.
# Lists that lack a package or name a version the mirror no longer has fail the
# install before anything is unpacked; they are updated and the install retried.
first=$(mktemp)
trap 'rm -f "$first"' EXIT
if install >"$first" 2>&1; then
  cat "$first"
else
  echo "Updating the package lists first"
  "${SUDO[@]}" apt-get "${lock[@]}" update -qq
  install
fi
