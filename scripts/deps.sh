#!/usr/bin/env bash
# Installs the Debian packages Veltrane needs to build, run and test, when any is missing.
# Sourced by run.sh and test.sh; exits non-zero with a clear message when it cannot install.
set -euo pipefail

VELTRANE_PACKAGES=(
  build-essential cmake pkg-config
  libx11-dev libgl-dev libglx-mesa0 libgl1-mesa-dri libglu1-mesa-dev
  libxrandr-dev libxfixes-dev libxss-dev libxext-dev
  libxres-dev  # X-Resource: which process made a window that claims to hold the display mode
  qt6-base-dev qt6-qpa-plugins qt6-image-formats-plugins
  libwayland-dev libwayland-bin wayland-protocols libegl-dev libegl-mesa0 libxkbcommon-dev  # the renderer's Wayland backend; xkbcommon reads the keymap
  libsystemd-dev  # sd-bus: the session's screen-saver inhibit, GNOME's overview and idle clock
  plasma-wayland-protocols  # veltrane-idle: org_kde_kwin_idle, sway 1.7's idle clock; KWin's fake input in the tests
  sway swaybg grim wtype weston xwayland jq  # private headless compositors for the Wayland tests and pictures; jq reads swaymsg
  gnome-shell gsettings-desktop-schemas dbus-daemon libglib2.0-bin  # a private headless gnome-shell with its own buses for the GNOME tests; gdbus talks to it
  kwin-wayland  # headless KWin in the tests
  libxtst-dev xvfb xauth xdotool x11-utils x11-xserver-utils imagemagick openbox xdg-utils
  xsecurelock  # a real saver host for the host-mode test
  dbus-x11  # dbus-launch, so the tests can check that the shell never auto-starts a session bus
  fonts-dejavu-core fonts-ipafont-gothic
  libgtest-dev libgmock-dev libbenchmark-dev
  dpkg-dev file lintian desktop-file-utils man-db libxml2-utils procps
)

missing=()
for p in "${VELTRANE_PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}"
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
  export DEBIAN_FRONTEND=noninteractive
  "${SUDO[@]}" apt-get update -qq
  "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
