# The application manifest of vardo.exe, and the two downloads made from it beside it in the
# build directory: vardo-VERSION-win64.zip (the portable copy) and vardo-VERSION-win64-setup.exe
# (the installer, vardo.nsi). Included by the Windows build after the vardo target and the
# program's details (ProgramDetails.cmake).

set(VARDO_MANIFEST "${PROJECT_BINARY_DIR}/vardo.exe.manifest")
configure_file(${PROJECT_SOURCE_DIR}/resources/vardo.exe.manifest.in "${VARDO_MANIFEST}" @ONLY)
set(VARDO_MANIFEST_RC "${PROJECT_BINARY_DIR}/manifest.rc")
file(CONFIGURE OUTPUT "${VARDO_MANIFEST_RC}"
    CONTENT "1 24 \"${VARDO_MANIFEST}\" // RT_MANIFEST: the process's manifest\n")
set_source_files_properties("${VARDO_MANIFEST_RC}" PROPERTIES OBJECT_DEPENDS "${VARDO_MANIFEST}")
target_sources(vardo PRIVATE "${VARDO_MANIFEST_RC}")

find_program(VARDO_MAKENSIS makensis)
if(NOT VARDO_MAKENSIS)
    message(FATAL_ERROR "makensis not found: the installer needs the Debian package nsis "
        "(make windows installs it)")
endif()

# What both downloads hold: the text files with Windows line ends, vardo.exe without its symbol
# table.
set(stage "${PROJECT_BINARY_DIR}/package")
configure_file(${CMAKE_CURRENT_LIST_DIR}/README.txt.in "${stage}/README.txt" @ONLY
    NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE "${stage}/LICENSE.txt" @ONLY NEWLINE_STYLE CRLF)
add_custom_command(OUTPUT "${stage}/vardo.exe"
    COMMAND ${CMAKE_STRIP} -o "${stage}/vardo.exe" $<TARGET_FILE:vardo>
    DEPENDS vardo
    COMMENT "Stripping vardo.exe for the packages"
    VERBATIM)

set(base "vardo-${PROJECT_VERSION}-win64")
set(zip "${PROJECT_BINARY_DIR}/${base}.zip")
set(setup "${PROJECT_BINARY_DIR}/${base}-setup.exe")

# The files at the top of the zip, so that Explorer's Extract All gives one folder.
add_custom_command(OUTPUT "${zip}"
    COMMAND ${CMAKE_COMMAND} -E rm -f "${zip}"
    COMMAND ${CMAKE_COMMAND} -E chdir "${stage}" ${CMAKE_COMMAND} -E tar cf "${zip}"
        --format=zip --mtime=${VARDO_RELEASE_DATE} vardo.exe LICENSE.txt README.txt
    DEPENDS "${stage}/vardo.exe" "${stage}/README.txt" "${stage}/LICENSE.txt"
    COMMENT "Writing ${base}.zip"
    VERBATIM)

set(nsi "${CMAKE_CURRENT_LIST_DIR}/vardo.nsi")
add_custom_command(OUTPUT "${setup}"
    COMMAND "${VARDO_MAKENSIS}" -V2 -INPUTCHARSET UTF8
        "-DTITLE=${VARDO_TITLE}" "-DVERSION=${PROJECT_VERSION}"
        "-DPUBLISHER=${VARDO_HOMEPAGE}" "-DHOMEPAGE=${VARDO_HOMEPAGE}"
        "-DCOMMENT=${VARDO_COMMENT}" "-DCOPYRIGHT=${VARDO_RELEASE_YEAR} ${VARDO_CREDIT}"
        "-DEXE=${stage}/vardo.exe" "-DLICENSE=${stage}/LICENSE.txt" "-DICON=${VARDO_ICO}"
        "-DOUTFILE=${setup}" "${nsi}"
    DEPENDS "${nsi}" "${stage}/vardo.exe" "${stage}/LICENSE.txt" "${VARDO_ICO}"
    COMMENT "Writing ${base}-setup.exe"
    VERBATIM)

add_custom_target(windows-packages ALL DEPENDS "${zip}" "${setup}")
