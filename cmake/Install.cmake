# What "cmake --install build --prefix P" puts under P, in the GNU install directories: the program,
# its menu entry, icons, AppStream metadata, manual page, the systemd user unit of scheduled runs
# and the copyright notice. Tests, benchmarks and the stand-in back end stay in the build tree.
include(GNUInstallDirs)
# GNUInstallDirs names the documentation folder after the CMake project; the program's name is the
# package's name.
if(CMAKE_INSTALL_DOCDIR STREQUAL "${CMAKE_INSTALL_DATAROOTDIR}/doc/${PROJECT_NAME}")
    set(CMAKE_INSTALL_DOCDIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/orvane-zentrel")
endif()
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)

set(OZ_APPSTREAM_ID "org.orvane.zentrel" CACHE STRING "The AppStream component id (reverse domain name)")
# The one setting of the screenshots' address: each AppStream <image> is this address and a file name
# of docs/screenshots/. The default is a placeholder; a release sets the address where it
# publishes the files (cmake -DOZ_SCREENSHOT_URL=...).
set(OZ_SCREENSHOT_URL "https://orvane-zentrel.example/screenshots"
    CACHE STRING "The web address where the files of docs/screenshots/ are published")

install(TARGETS orvane-zentrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${CMAKE_SOURCE_DIR}/data/orvane-zentrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 48 128 256)
    install(FILES ${CMAKE_SOURCE_DIR}/data/icons/${size}x${size}/orvane-zentrel.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/data/orvane-zentrel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The AppStream releases are the entries of debian/changelog (version and date), newest first; the
# newest must be the project's version.
file(READ ${CMAKE_SOURCE_DIR}/debian/changelog oz_changelog)
string(REGEX MATCHALL "(orvane-zentrel \\([^)]*\\)| -- [^\n]*  [A-Z][a-z][a-z], [ 0-9]+ [A-Z][a-z][a-z] [0-9]+)"
       oz_changelog_lines "${oz_changelog}")
set(OZ_APPSTREAM_RELEASES "")
set(oz_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
foreach(line IN LISTS oz_changelog_lines)
    if(line MATCHES "^orvane-zentrel \\(([^)]*)\\)")
        set(oz_release_version "${CMAKE_MATCH_1}")
        if(NOT oz_newest_version)
            set(oz_newest_version "${oz_release_version}")
        endif()
    elseif(line MATCHES "([0-9]+) ([A-Z][a-z][a-z]) ([0-9]+)$")
        list(FIND oz_months ${CMAKE_MATCH_2} oz_month)
        math(EXPR oz_month "${oz_month} + 1")
        math(EXPR oz_day "${CMAKE_MATCH_1}")
        foreach(part oz_month oz_day)
            if(${part} LESS 10)
                set(${part} "0${${part}}")
            endif()
        endforeach()
        string(APPEND OZ_APPSTREAM_RELEASES
               "\n    <release version=\"${oz_release_version}\" date=\"${CMAKE_MATCH_3}-${oz_month}-${oz_day}\"/>")
    endif()
endforeach()
if(NOT oz_newest_version STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "debian/changelog's newest entry is ${oz_newest_version}, the project is ${PROJECT_VERSION}")
endif()
configure_file(${CMAKE_SOURCE_DIR}/data/orvane-zentrel.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/data/${OZ_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/data/${OZ_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The copyright file of the Debian package (machine-readable), also for any other install.
install(FILES ${CMAKE_SOURCE_DIR}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The manual page, made from the built program's help texts (not in a sanitizer build, which is
# never installed).
find_program(OZ_HELP2MAN help2man)
find_program(OZ_GZIP gzip)
if(OZ_HELP2MAN AND OZ_GZIP AND NOT OZ_SANITIZE)
    set(OZ_MANPAGE ${CMAKE_BINARY_DIR}/man/orvane-zentrel.1.gz)
    add_custom_command(
        OUTPUT ${OZ_MANPAGE}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${CMAKE_COMMAND} -DOZ_EXE=$<TARGET_FILE:orvane-zentrel> -DOZ_HELP2MAN=${OZ_HELP2MAN}
                -DOZ_GZIP=${OZ_GZIP} -DOZ_INCLUDE=${CMAKE_SOURCE_DIR}/data/orvane-zentrel.h2m
                -DOZ_OUTPUT=${OZ_MANPAGE} -P ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
        DEPENDS orvane-zentrel ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake ${CMAKE_SOURCE_DIR}/data/orvane-zentrel.h2m
        COMMENT "Writing the manual page orvane-zentrel.1 from --help"
        VERBATIM)
    add_custom_target(oz_manpage ALL DEPENDS ${OZ_MANPAGE})
    install(FILES ${OZ_MANPAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    set(OZ_MANPAGE "")
    if(NOT OZ_SANITIZE)
        message(STATUS "help2man or gzip not found: no manual page (apt-get install help2man)")
    endif()
endif()

# The systemd user unit names the program by its installed path, which is known only when installing
# ("cmake --install --prefix P" chooses it then), so the unit is written at install time.
set(oz_unit_code [[
    set(oz_bindir "@CMAKE_INSTALL_BINDIR@")
    if(NOT IS_ABSOLUTE "${oz_bindir}")
        set(oz_bindir "${CMAKE_INSTALL_PREFIX}/${oz_bindir}")
    endif()
    set(OZ_INSTALLED_PROGRAM "${oz_bindir}/orvane-zentrel")
    configure_file("@CMAKE_SOURCE_DIR@/data/orvane-zentrel-schedule.service.in"
                   "@CMAKE_BINARY_DIR@/data/orvane-zentrel-schedule.service" @ONLY)
    file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/user" TYPE FILE
         FILES "@CMAKE_BINARY_DIR@/data/orvane-zentrel-schedule.service")
]])
string(CONFIGURE "${oz_unit_code}" oz_unit_code @ONLY)
install(CODE "${oz_unit_code}")
