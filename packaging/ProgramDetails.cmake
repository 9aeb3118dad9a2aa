# The program's details, in one place for the desktop entry, the metainfo, the version record
# and the package, and the Windows resource script made from them: VARDO_RC names the
# configured vardo.rc (version record and icon group). Included by both builds: the Linux one
# (Packaging.cmake) checks the script, the Windows one (platform/win32/Win32.cmake) links it.

include(${CMAKE_CURRENT_LIST_DIR}/WindowsIcon.cmake)

set(VARDO_TITLE "Pellmoor")
set(VARDO_APP_ID "org.example.Vardo")
set(VARDO_COMMENT "He comes up on your desktop and his eyes follow your cursor as you move it around the desktop.")
set(VARDO_HOMEPAGE "https://www.example.org/vardo/")
set(VARDO_AUTHOR "Quennick")
set(VARDO_CREDIT "By ${VARDO_AUTHOR}")
set(VARDO_EMAIL "vardo@example.org")
set(VARDO_RELEASE_DATE "2026-12-07")
string(SUBSTRING "${VARDO_RELEASE_DATE}" 0 4 VARDO_RELEASE_YEAR)
# The version record's short form: major, then the minor number in two digits (1.0 -> "1.00").
if(PROJECT_VERSION_MINOR LESS 10)
    set(VARDO_SHORT_VERSION "${PROJECT_VERSION_MAJOR}.0${PROJECT_VERSION_MINOR}")
else()
    set(VARDO_SHORT_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
endif()

set(VARDO_ICO "${PROJECT_SOURCE_DIR}/resources/vardo.ico")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${VARDO_ICO}")
vardo_icon_resources("${VARDO_ICO}" 30001 1 VARDO_ICON_RESOURCES)
set(VARDO_RC "${PROJECT_BINARY_DIR}/vardo.rc")
configure_file(${PROJECT_SOURCE_DIR}/resources/vardo.rc.in "${VARDO_RC}" @ONLY)
