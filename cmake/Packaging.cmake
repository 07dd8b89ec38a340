# A Debian package of the program: `cpack -G DEB` in the build directory.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantorel)
set(CPACK_PACKAGE_VENDOR "Vantorel")
set(CPACK_PACKAGE_CONTACT "Vantorel developers <developers@vantorel.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Record a region of the screen to a video file")
set(CPACK_PACKAGE_DESCRIPTION
    "A tray utility that records a region of the screen, drawn on a dimmed overlay, to an MPEG-4 file (H.264 or HEVC with AAC system sound).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vantorel.org")
# Libraries linked in are found by dpkg-shlibdeps; Qt's xcb platform plugin is loaded at run time
# and has to be named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
include(CPack)
