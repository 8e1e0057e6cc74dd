# The Debian package (scripts/package): what `cmake --install` puts under /usr, with the
# libraries it links found by dpkg-shlibdeps and the rest it needs at run time named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME parlivo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Parlivo developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "voice-memo recorder for desktops and handhelds")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Parlivo developers <parlivo@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "voice-memo recorder for desktops and handhelds
 Record memos in a studio with a level meter, give them a title, comments, a
 category and a photo, find them again by date, by category and in the trash,
 and play them back with pause, seeking and stepping between memos.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Text needs a font, and a desktop without a Qt platform plugin of its own uses X11's.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, dbus-user-session")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
