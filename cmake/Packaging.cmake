# The Debian package: `cd build && cpack -G DEB` makes keldrin_<version>_<arch>.deb from the
# install rules. Its dependencies are computed by dpkg-shlibdeps from the programs' own
# libraries (Qt 6, libjpeg, ALSA, libc); Qt's platform plugins come with libqt6gui6.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME keldrin)
set(CPACK_PACKAGE_VENDOR Quenlor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "program and test devices on a serial port")
set(CPACK_PACKAGE_DESCRIPTION
    "Keldrin sends firmware and commands to devices on a serial port and checks their answers.\n"
    "An operator loads a project and presses Program; a production line runs\n"
    "keldrin PORT PROJECT.cmd unattended. It also offers a serial terminal, a port\n"
    "status report, an Intel HEX record editor and number converters. keldrin-devsim, a\n"
    "simulated device on a pseudo-terminal, comes with it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Keldrin maintainers <maintainers@keldrin.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)
