# The Debian package: "cpack -G DEB" in the build folder (scripts/package.sh builds and checks it)
# gives build/orvane-zentrel_VERSION_ARCH.deb holding the install tree under /usr. It is the quick
# way; "dpkg-buildpackage -us -uc -b" builds the same package from debian/. The fields come from
# debian/control, which dpkg-buildpackage reads, so both ways give the same package.
file(READ ${CMAKE_SOURCE_DIR}/debian/control oz_control)
function(oz_control_field name out)
    if(NOT oz_control MATCHES "\n${name}: ([^\n]*(\n [^\n]*)*)")
        message(FATAL_ERROR "debian/control has no ${name} field")
    endif()
    string(REGEX REPLACE "\n +" "\n" value "${CMAKE_MATCH_1}")
    set(${out} "${value}" PARENT_SCOPE)
endfunction()
oz_control_field(Maintainer OZ_PACKAGE_MAINTAINER)
oz_control_field(Section oz_section)
oz_control_field(Recommends oz_recommends)
oz_control_field(Depends oz_depends)
oz_control_field(Description oz_description)
# Depends without the substitution variables, which dpkg-shlibdeps fills here.
string(REGEX REPLACE ",? *[$][{][^}]*[}]" "" oz_depends "${oz_depends}")
string(REPLACE "\n" " " oz_recommends "${oz_recommends}")
string(FIND "${oz_description}" "\n" oz_cut)
string(SUBSTRING "${oz_description}" 0 ${oz_cut} oz_summary)
math(EXPR oz_cut "${oz_cut} + 1")
string(SUBSTRING "${oz_description}" ${oz_cut} -1 oz_long)
string(REPLACE "\n.\n" "\n\n" oz_long "${oz_long}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane-zentrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_CONTACT "${OZ_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${oz_summary}")
set(CPACK_PACKAGE_DESCRIPTION "${oz_long}")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${OZ_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION ${oz_section})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links come from dpkg-shlibdeps; Qt's platform plugins are loaded at run
# time, so the window needs them named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${oz_depends}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "${oz_recommends}")

# The package's changelog is debian/changelog, compressed as dh_installchangelogs and dh_compress
# do it (gzip -9n: no name, no time), only in the package: the "debian" component is left out of
# "cmake --install" and put in by CPack beside the whole install tree.
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/data/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/data
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/debian/changelog ${CMAKE_BINARY_DIR}/data/changelog
    COMMAND ${OZ_GZIP} -9 -n -f ${CMAKE_BINARY_DIR}/data/changelog
    DEPENDS ${CMAKE_SOURCE_DIR}/debian/changelog
    VERBATIM)
add_custom_target(oz_package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/data/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/data/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian
        EXCLUDE_FROM_ALL)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/"
                                 "${CMAKE_BINARY_DIR};${PROJECT_NAME};debian;/")

include(CPack)
