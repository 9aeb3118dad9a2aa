# The Linux executable: the windows' logic over the Qt run-time in this folder (Qt 6 Widgets on
# X11, also through XWayland; wayland/ holds the pointer sources of Wayland desktops, over
# D-Bus). Included from the top-level CMakeLists.txt. vardolib is everything but main(), for
# the program and the unit tests.

set(VARDO_QT_DIR ${CMAKE_CURRENT_LIST_DIR})

set(CMAKE_AUTOMOC ON)

find_package(Qt6 6.4 REQUIRED COMPONENTS Widgets DBus)
find_package(PkgConfig REQUIRED)
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
pkg_check_modules(XCB_XINPUT REQUIRED IMPORTED_TARGET xcb-xinput)

add_library(vardolib STATIC
    ${VARDO_LOGIC_SOURCES}
    ${VARDO_QT_DIR}/CommandButton.cpp
    ${VARDO_QT_DIR}/DeferredDeactivation.cpp
    ${VARDO_QT_DIR}/DirectRepaint.cpp
    ${VARDO_QT_DIR}/Form.cpp
    ${VARDO_QT_DIR}/FormWidget.cpp
    ${VARDO_QT_DIR}/Image.cpp
    ${VARDO_QT_DIR}/ImageWidget.cpp
    ${VARDO_QT_DIR}/Label.cpp
    ${VARDO_QT_DIR}/LabelWidget.cpp
    ${VARDO_QT_DIR}/LinkCursor.cpp
    ${VARDO_QT_DIR}/Menu.cpp
    ${VARDO_QT_DIR}/MenuEntry.cpp
    ${VARDO_QT_DIR}/MenuGrab.cpp
    ${VARDO_QT_DIR}/MouseCodes.cpp
    ${VARDO_QT_DIR}/QtColour.cpp
    ${VARDO_QT_DIR}/QtFont.cpp
    ${VARDO_QT_DIR}/QtHandles.cpp
    ${VARDO_QT_DIR}/RawMotionWatch.cpp
    ${VARDO_QT_DIR}/Resources.cpp
    ${VARDO_QT_DIR}/RestGate.cpp
    ${VARDO_QT_DIR}/Stillness.cpp
    ${VARDO_QT_DIR}/Timer.cpp
    ${VARDO_QT_DIR}/X11Platform.cpp
    ${VARDO_QT_DIR}/X11Window.cpp
    ${VARDO_QT_DIR}/XcbConnection.cpp
)
target_include_directories(vardolib PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vardolib PUBLIC Qt6::Widgets PkgConfig::XCB PkgConfig::XCB_XINPUT
    PkgConfig::X11)
target_compile_definitions(vardolib PUBLIC VARDO_VERSION="${PROJECT_VERSION}"
    QT_NO_CAST_FROM_ASCII)
if(VARDO_SANITIZE)
    # The sanitizers' default options (stop at the first report, the leak suppressions) go into
    # every program that links vardolib.
    target_sources(vardolib INTERFACE ${PROJECT_SOURCE_DIR}/tests/sanitizer/options.cpp)
    target_compile_definitions(vardolib INTERFACE
        VARDO_LSAN_SUPPRESSIONS="${PROJECT_SOURCE_DIR}/tests/sanitizer/lsan.supp")
endif()
# The pointer on Wayland desktops: KWin's script (embedded) and the GNOME Shell extension
# (installed, packaging/GnomeShellExtension.cmake).
target_sources(vardolib PRIVATE
    ${VARDO_QT_DIR}/wayland/GnomeShellPointerSource.cpp
    ${VARDO_QT_DIR}/wayland/KWinPointerSource.cpp
    ${VARDO_QT_DIR}/wayland/PointerSource.cpp
)
target_link_libraries(vardolib PUBLIC Qt6::DBus)
qt_add_resources(vardolib kwin_script PREFIX / FILES resources/kwin/vardo-pointer.js)

qt_add_resources(vardolib pictures
    PREFIX /
    FILES
        resources/face.gif
        resources/eye0.gif
        resources/eye1.gif
        resources/vardo.ico
        resources/link.cur
)

add_executable(vardo ${VARDO_QT_DIR}/main.cpp)
target_link_libraries(vardo PRIVATE vardolib)
