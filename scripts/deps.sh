#!/usr/bin/env bash
# Installs the Debian packages a task needs; does nothing for those already installed.
# Usage: scripts/deps.sh GROUP...   (groups: build, demo, windows, package-windows, vm, package-deb, browser,
#                                   bench)
set -euo pipefail

packages=()
for group in "$@"; do
  case "$group" in
    build)
      packages+=(build-essential cmake ninja-build pkg-config qtbase5-dev qtbase5-dev-tools qt6-base-dev
                 qt6-base-dev-tools libgl-dev libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
                 llvm clang-format libudev-dev libboost-dev fonts-wqy-microhei xvfb xauth x11-xserver-utils xdotool
                 curl libqrencode-dev)
      # Global hotkeys: xcb with the X keyboard extension, Qt 5's X11 extras; their checks press keys
      # through XTEST, put xlogo in front and trayer in as a tray, and mock the desktop portal.
      packages+=(libxcb1-dev libxcb-xkb-dev libxcb-xtest0-dev libqt5x11extras5-dev x11-apps x11-utils trayer
                 dbus-daemon python3-dbusmock)
      # Gamepads (SDL2's game controllers) and MIDI (ALSA's sequencer) for velmoractl.
      packages+=(libsdl2-dev libasound2-dev) ;;
    demo)
      packages+=(xvfb xauth x11-apps x11-xserver-utils xdotool imagemagick fonts-wqy-microhei) ;;
    windows)
      # GoogleTest for the cross tree is built from libgtest-dev's source; 32-bit wine is left out.
      packages+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 libgtest-dev) ;;
    package-windows)
      # Qt for Windows is built from Debian's source (dpkg-dev unpacks it); the installer is NSIS,
      # the MSI wixl's (msitools reads it back), the signer osslsigncode (openssl makes test
      # certificates); icoutils reads the executables' resources, librsvg2-bin redraws the icon.
      packages+=(g++-mingw-w64-x86-64-posix build-essential dpkg-dev cmake ninja-build nsis zip unzip
                 icoutils librsvg2-bin msitools wixl osslsigncode openssl) ;;
    vm)
      # libv4l-0: wine's capture filter reads the emulated camera through libv4l2.
      packages+=(qemu-system-x86 busybox-static cpio udev xz-utils zstd libv4l-0)
      # alsa-utils: amidi and aconnect for the virtual MIDI port's checks.
      packages+=(alsa-utils) ;;
    package-deb)
      # The Debian package: built with CPack (dpkg-shlibdeps computes Depends), checked by Debian's
      # own tools, installed into a debootstrapped chroot.
      packages+=(dpkg-dev fakeroot file help2man librsvg2-bin desktop-file-utils appstream lintian
                 debootstrap debian-archive-keyring man-db) ;;
    browser)
      # The keypad page's tests: Debian's chromium, driven by puppeteer-core from npm (Node.js itself
      # comes with the machine, not from Debian).
      packages+=(chromium) ;;
    bench)
      # v4l2-ctl: the yardstick of velmoractl's one-shot benchmark.
      # wrk and ab: HTTP load against velmoractl serve.
      packages+=(v4l-utils wrk apache2-utils) ;;
    *) echo "deps.sh: unknown group $group" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "deps.sh: installing ${missing[*]}"
$sudo apt-get update -q >/dev/null
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
