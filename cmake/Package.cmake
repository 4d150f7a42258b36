# The Debian package: "cpack -G DEB" in the build folder (scripts/package.sh builds and checks it)
# gives build/orvane-zentrel_VERSION_ARCH.deb holding the install tree under /usr.
set(OZ_PACKAGE_MAINTAINER "Orvane Zentrel maintainers <maintainers@users.noreply.c-seed-a5084b41.example>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane-zentrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_CONTACT "${OZ_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "publishes local article files to many DedeCMS sites")
# Lines of at most 80 characters, as apt shows them.
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop tool for one operator who runs a group of DedeCMS websites. It
takes articles that lie as text or HTML files in local folders and publishes
them to many sites in one run through each site's web admin back end, as a
browser would: it logs in, posts the add-article form and asks the back end to
regenerate the static pages the new articles touch.
The window (Qt 6) and the command line orvane-zentrel drive the same core; a
systemd user unit runs the schedule of publishing runs without a window.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${OZ_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links come from dpkg-shlibdeps; Qt's platform plugins are loaded at run
# time, so the window needs them named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n, ca-certificates")

# A native package's changelog, in Debian's format, only in the package: the "debian" component is
# left out of "cmake --install" and put in by CPack beside the whole install tree.
string(TIMESTAMP OZ_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_SOURCE_DIR}/data/changelog.in ${CMAKE_BINARY_DIR}/data/changelog @ONLY)
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/data/changelog.gz
    COMMAND ${OZ_GZIP} -9 -n -k -f ${CMAKE_BINARY_DIR}/data/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/data/changelog
    VERBATIM)
add_custom_target(oz_package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/data/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/data/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian
        EXCLUDE_FROM_ALL)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/"
                                 "${CMAKE_BINARY_DIR};${PROJECT_NAME};debian;/")

include(CPack)
