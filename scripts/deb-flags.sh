# Sourced: deb_cmake_options, the CMake options of a tree the Debian package is made from: Debian's own
# hardening and optimisation (dpkg-buildflags), installed under /usr, with the package's rules
# (VELMORA_DEB). The unit stage's tree is configured so, and the package is made from it.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
deb_flags() { (cd "${VELMORA_ROOT:-$root}" && dpkg-buildflags --get "$1"); }  # the prefix map names the checkout
deb_cmake_options=(
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr -DVELMORA_DEB=ON
  "-DCMAKE_C_FLAGS=$(deb_flags CPPFLAGS) $(deb_flags CFLAGS)"
  "-DCMAKE_CXX_FLAGS=$(deb_flags CPPFLAGS) $(deb_flags CXXFLAGS)"
  "-DCMAKE_EXE_LINKER_FLAGS=$(deb_flags LDFLAGS)"
  "-DCMAKE_SHARED_LINKER_FLAGS=$(deb_flags LDFLAGS)"
)
