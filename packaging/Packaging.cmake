# Desktop integration, install rules, the Debian package and the check of the Windows version
# record.
# Included from the top-level CMakeLists.txt after the vardo target is defined.

include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/ProgramDetails.cmake)

set(VARDO_DESKTOP "${CMAKE_CURRENT_BINARY_DIR}/${VARDO_APP_ID}.desktop")
set(VARDO_METAINFO "${CMAKE_CURRENT_BINARY_DIR}/${VARDO_APP_ID}.metainfo.xml")
configure_file(resources/${VARDO_APP_ID}.desktop.in "${VARDO_DESKTOP}" @ONLY)
configure_file(resources/${VARDO_APP_ID}.metainfo.xml.in "${VARDO_METAINFO}" @ONLY)

install(TARGETS vardo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(UNIX AND NOT APPLE)
    # The theme icon is converted from vardo.ico at build time, so it is always the same
    # picture as the window icon.
    find_package(Qt6 6.4 REQUIRED COMPONENTS Gui)
    add_executable(vardo-icon-png tools/icon-png/main.cpp)
    target_link_libraries(vardo-icon-png PRIVATE Qt6::Gui)
    set(VARDO_ICON_PNG "${CMAKE_CURRENT_BINARY_DIR}/${VARDO_APP_ID}.png")
    add_custom_command(OUTPUT "${VARDO_ICON_PNG}"
        COMMAND vardo-icon-png "${VARDO_ICO}" "${VARDO_ICON_PNG}"
        DEPENDS vardo-icon-png "${VARDO_ICO}"
        COMMENT "Converting vardo.ico to ${VARDO_APP_ID}.png"
        VERBATIM)
    add_custom_target(vardo-icon ALL DEPENDS "${VARDO_ICON_PNG}")

    install(FILES "${VARDO_DESKTOP}" DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
    install(FILES "${VARDO_METAINFO}" DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
    install(FILES "${VARDO_ICON_PNG}"
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/32x32/apps)
    install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vardo RENAME copyright)
    include(${CMAKE_CURRENT_LIST_DIR}/GnomeShellExtension.cmake)
endif()

# Debian package: cmake --build BUILD --target package, or make deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vardo)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "${VARDO_AUTHOR}")
set(CPACK_PACKAGE_CONTACT "${VARDO_AUTHOR} <${VARDO_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "face whose eyes follow the cursor")
set(CPACK_PACKAGE_HOMEPAGE_URL "${VARDO_HOMEPAGE}")
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_CURRENT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack puts the summary line first; these are the lines of the long description below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
${VARDO_TITLE}: he comes up on your desktop and his eyes follow your cursor\n\
as you move it around the desktop. Drag the face with the left mouse button;\n\
the right button opens its menu. It needs an X11 session (or XWayland).")
include(CPack)

if(BUILD_TESTING)
    find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
    find_program(APPSTREAMCLI appstreamcli)
    find_program(MINGW_WINDRES x86_64-w64-mingw32-windres)

    # A missing checker fails its test with the package to install, rather than the
    # configure step of everyone who only wants to build.
    function(vardo_checker_test name program package)
        if(program)
            add_test(NAME ${name} COMMAND "${program}" ${ARGN})
        else()
            add_test(NAME ${name} COMMAND /bin/sh -c
                "echo '${name}: needs the Debian package ${package} (make deps installs it)' >&2; exit 1")
        endif()
    endfunction()
    vardo_checker_test(desktop_entry_valid "${DESKTOP_FILE_VALIDATE}" desktop-file-utils
        "${VARDO_DESKTOP}")
    vardo_checker_test(metainfo_valid "${APPSTREAMCLI}" appstream
        validate --no-net --pedantic "${VARDO_METAINFO}")
    if(NOT MINGW_WINDRES)
        set(MINGW_WINDRES x86_64-w64-mingw32-windres)
    endif()
    add_test(NAME windows_version_record
        COMMAND /usr/bin/python3
            "${CMAKE_CURRENT_SOURCE_DIR}/tests/packaging/check_version_record.py"
            --windres "${MINGW_WINDRES}" --rc "${VARDO_RC}" --ico "${VARDO_ICO}"
            --version "${PROJECT_VERSION}"
            --work "${CMAKE_CURRENT_BINARY_DIR}/windows_version_record")
    # The version record, the icon group and the rest read back from the Windows executable
    # itself, when the run has one (make test builds it).
    if(VARDO_WINDOWS_EXE)
        add_test(NAME windows_executable
            COMMAND /usr/bin/python3
                "${CMAKE_CURRENT_SOURCE_DIR}/tests/packaging/check_version_record.py"
                --exe "${VARDO_WINDOWS_EXE}" --ico "${VARDO_ICO}" --version "${PROJECT_VERSION}")
        set_tests_properties(windows_executable PROPERTIES LABELS "packaging;wine")
    endif()
    add_test(NAME deb_package
        COMMAND /bin/bash "${CMAKE_CURRENT_SOURCE_DIR}/tests/packaging/check_deb.sh"
            "${CMAKE_CURRENT_BINARY_DIR}" "${PROJECT_VERSION}")
    set_tests_properties(desktop_entry_valid metainfo_valid windows_version_record deb_package
        PROPERTIES LABELS packaging)
    # cpack installs from this build tree; keep other tests from running its binaries meanwhile.
    set_tests_properties(deb_package PROPERTIES TIMEOUT 120 RUN_SERIAL TRUE)
endif()
