# The GNOME Shell extension that tells Vardo where the pointer is on GNOME's Wayland session,
# installed into share/gnome-shell/extensions/<uuid>/. GNOME Shell 45 changed the extension
# format to ES modules: resources/gnome-shell/<uuid>/ holds the extension's code once, as
# extension.js.in, written out in either format, and a metadata.json for each: 43/ for GNOME
# Shell 43 and 44, 45/ for 45 and later. A build installs the one for the GNOME Shell it
# is built with, as a distribution's package is; without a gnome-shell on the build machine,
# the current format.
set(VARDO_GNOME_SHELL_UUID "vardo@example.org")
set(VARDO_GNOME_SHELL_FORMAT "" CACHE STRING
    "GNOME Shell extension format to install: 43 (GNOME Shell 43 and 44) or 45 (45 and later); empty: by the gnome-shell installed here")

set(vardo_gnome_shell_format "${VARDO_GNOME_SHELL_FORMAT}")
if(NOT vardo_gnome_shell_format)
    set(vardo_gnome_shell_format 45)
    find_program(GNOME_SHELL_PROGRAM gnome-shell)
    if(GNOME_SHELL_PROGRAM)
        execute_process(COMMAND "${GNOME_SHELL_PROGRAM}" --version
            OUTPUT_VARIABLE vardo_gnome_shell_version ERROR_QUIET TIMEOUT 20)
        if(vardo_gnome_shell_version MATCHES "GNOME Shell ([0-9]+)" AND CMAKE_MATCH_1 LESS 45)
            set(vardo_gnome_shell_format 43)
        endif()
    endif()
endif()
if(NOT vardo_gnome_shell_format MATCHES "^(43|45)$")
    message(FATAL_ERROR "VARDO_GNOME_SHELL_FORMAT is 43 or 45, not '${vardo_gnome_shell_format}'")
endif()
if(vardo_gnome_shell_format EQUAL 43)
    message(STATUS "GNOME Shell extension: for GNOME Shell 43 and 44")
    set(VARDO_EXTENSION_IMPORTS "'use strict';\n\nconst {Gio, GLib, Meta} = imports.gi;")
    set(VARDO_EXTENSION_CLASS "class VardoPointer")
    set(VARDO_EXTENSION_INIT "\n\nfunction init() {\n    return new VardoPointer();\n}")
else()
    message(STATUS "GNOME Shell extension: for GNOME Shell 45 and later")
    set(VARDO_EXTENSION_IMPORTS "import Gio from 'gi://Gio';\nimport GLib from 'gi://GLib';\nimport Meta from 'gi://Meta';\n\nimport {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';")
    set(VARDO_EXTENSION_CLASS "export default class VardoPointer extends Extension")
    set(VARDO_EXTENSION_INIT "")
endif()
set(vardo_extension_source "${CMAKE_CURRENT_SOURCE_DIR}/resources/gnome-shell/${VARDO_GNOME_SHELL_UUID}")
set(vardo_extension_build "${CMAKE_CURRENT_BINARY_DIR}/gnome-shell/${VARDO_GNOME_SHELL_UUID}")
configure_file("${vardo_extension_source}/extension.js.in" "${vardo_extension_build}/extension.js"
    @ONLY)
install(FILES "${vardo_extension_source}/${vardo_gnome_shell_format}/metadata.json"
    "${vardo_extension_build}/extension.js"
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/gnome-shell/extensions/${VARDO_GNOME_SHELL_UUID})
