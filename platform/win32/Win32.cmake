# The Windows executable: the windows' logic over the Win32 run-time in this folder, cross-built
# with MinGW-w64 (make windows, toolchain MinGW-w64.cmake). Included from the top-level
# CMakeLists.txt, which stops after it: no Qt, no tests here (the Linux build runs the Windows
# executable under Wine).

enable_language(RC)
include(${PROJECT_SOURCE_DIR}/packaging/ProgramDetails.cmake)

set(VARDO_PICTURES_RC "${PROJECT_BINARY_DIR}/pictures.rc")
configure_file(${CMAKE_CURRENT_LIST_DIR}/Pictures.rc.in "${VARDO_PICTURES_RC}" @ONLY)
# windres is given no dependency scan: rebuild the resources when a picture changes.
set_source_files_properties("${VARDO_PICTURES_RC}" PROPERTIES OBJECT_DEPENDS
    "${PROJECT_SOURCE_DIR}/resources/face.gif;${PROJECT_SOURCE_DIR}/resources/eye0.gif;${PROJECT_SOURCE_DIR}/resources/eye1.gif;${PROJECT_SOURCE_DIR}/resources/link.cur")
set_source_files_properties("${VARDO_RC}" PROPERTIES OBJECT_DEPENDS "${VARDO_ICO}")

# The windows and their run-time, which the test programs in tests/wine link as well.
set(VARDO_WIN32_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(vardo_win32 STATIC
    ${VARDO_LOGIC_SOURCES}
    ${VARDO_WIN32_DIR}/Canvas.cpp
    ${VARDO_WIN32_DIR}/CommandButton.cpp
    ${VARDO_WIN32_DIR}/Dpi.cpp
    ${VARDO_WIN32_DIR}/Fatal.cpp
    ${VARDO_WIN32_DIR}/Form.cpp
    ${VARDO_WIN32_DIR}/FormInput.cpp
    ${VARDO_WIN32_DIR}/FormPaint.cpp
    ${VARDO_WIN32_DIR}/GdiFont.cpp
    ${VARDO_WIN32_DIR}/Image.cpp
    ${VARDO_WIN32_DIR}/Label.cpp
    ${VARDO_WIN32_DIR}/Menu.cpp
    ${VARDO_WIN32_DIR}/MenuEntry.cpp
    ${VARDO_WIN32_DIR}/Resources.cpp
    ${VARDO_WIN32_DIR}/Scale.cpp
    ${VARDO_WIN32_DIR}/Text.cpp
    ${VARDO_WIN32_DIR}/Timer.cpp
    ${VARDO_WIN32_DIR}/Win32Platform.cpp
)
target_include_directories(vardo_win32 PUBLIC ${PROJECT_SOURCE_DIR})
# Wide-character calls throughout: captions and link targets are UTF-8 in the logic, UTF-16 for
# the system. Windows 7 and later.
target_compile_definitions(vardo_win32 PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0601 VARDO_VERSION="${PROJECT_VERSION}")
target_link_libraries(vardo_win32 PUBLIC windowscodecs ole32 uuid shell32 gdi32 user32)

add_executable(vardo WIN32
    ${VARDO_WIN32_DIR}/main.cpp
    "${VARDO_RC}"
    "${VARDO_PICTURES_RC}"
)
# Only system DLLs at run time: the C++ and GCC runtimes and winpthread go into the executable.
target_link_options(vardo PRIVATE -static -static-libgcc -static-libstdc++)
target_link_libraries(vardo PRIVATE vardo_win32)
