; The Windows installer, vardo-VERSION-win64-setup.exe. Built by makensis from
; packaging/windows/WindowsPackages.cmake, which defines:
;   TITLE, VERSION, PUBLISHER, HOMEPAGE, COMMENT, COPYRIGHT  the program's details
;   EXE, LICENSE, ICON                  the files it installs, and its icon
;   OUTFILE                             the setup to write
;
; It installs for the current user only and never asks for administrator rights: its files go
; into the user's profile, its settings into HKEY_CURRENT_USER.
;
; Command line: /S installs silently; /AUTOSTART=1 or /AUTOSTART=0 sets "start at log-in"
; (without it, an update keeps what the installed copy had, and a first install leaves it off);
; /D=DIR, last, installs into DIR. The uninstaller takes /S as well.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestSupportedOS all
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${TITLE}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SHORTCUT "$SMPROGRAMS\${TITLE}.lnk"
; The face's window, as the Win32 forms run-time registers it (platform/win32/Form.cpp). The
; About window shares the class but not the caption.
!define FACE_CLASS "VardoForm"
!define FACE_CAPTION "Vardo"

Name "${TITLE}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${TITLE}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${TITLE} ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${TITLE}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${TITLE} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; Two entries that say what they do: the list takes the page's width.
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\vardo.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${TITLE} now"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var faceWasRunning

; Closes every running face and waits until its process has ended, so that vardo.exe can be
; replaced or deleted. Also a face started from another copy: which file a process runs is not
; reliably comparable by name (short names, mapped drives), and the face keeps no data, so
; closing it loses nothing. Pushes the number of faces closed, or -1 when one did not end.
!macro CloseFaces un
Function ${un}CloseFaces
    Push $0
    Push $1
    Push $2
    Push $3
    StrCpy $3 0
    ${Do}
        FindWindow $0 "${FACE_CLASS}" "${FACE_CAPTION}"
        ${IfThen} $0 P= 0 ${|} ${Break} ${|}
        DetailPrint "Closing ${TITLE}"
        System::Call 'user32::GetWindowThreadProcessId(p r0, *i 0 r1)'
        System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2' ; SYNCHRONIZE
        System::Call 'user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)'
        System::Call 'kernel32::WaitForSingleObject(p r2, i 10000) i .r1'
        System::Call 'kernel32::CloseHandle(p r2)'
        ${If} $1 <> 0 ; not WAIT_OBJECT_0: still running, or no handle to wait on
            StrCpy $3 -1
            ${Break}
        ${EndIf}
        IntOp $3 $3 + 1
    ${Loop}
    StrCpy $0 $3
    Pop $3
    Pop $2
    Pop $1
    Exch $0
FunctionEnd
!macroend
!insertmacro CloseFaces ""
!insertmacro CloseFaces "un."

; Closes the running faces, leaving their number in $0. Asks to retry when one does not end;
; in silent mode, or when the user cancels, the install or uninstall fails.
!define STILL_RUNNING "${TITLE} is running and does not close. Right-click the face, choose \
Exit, then Retry."
!macro CloseOrAbort un
    ${Do}
        Call ${un}CloseFaces
        Pop $0
        ${IfThen} $0 >= 0 ${|} ${Break} ${|}
        ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${STILL_RUNNING}" \
                /SD IDCANCEL IDRETRY`
            Abort "${TITLE} is still running."
        ${EndIf}
    ${Loop}
!macroend

; Puts a new copy of an executable in place in one step, so $INSTDIR never holds half of one:
; the new file is written beside the old and moved over it.
!macro ReplaceFile new target
    ; MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH
    System::Call 'kernel32::MoveFileExW(w "${new}", w "${target}", i 0x9) i .r0'
    ${If} $0 = 0
        Delete "${new}"
        Abort "Could not replace ${target}."
    ${EndIf}
!macroend

Section "${TITLE}" SecProgram
    SectionIn RO
    SetShellVarContext current
    !insertmacro CloseOrAbort ""
    StrCpy $faceWasRunning $0

    SetOutPath "$INSTDIR"
    ClearErrors
    File "/oname=vardo.exe.new" "${EXE}"
    ${If} ${Errors}
        Delete "$INSTDIR\vardo.exe.new"
        Abort "Could not write $INSTDIR\vardo.exe."
    ${EndIf}
    !insertmacro ReplaceFile "$INSTDIR\vardo.exe.new" "$INSTDIR\vardo.exe"
    WriteUninstaller "$INSTDIR\uninstall.exe.new"
    !insertmacro ReplaceFile "$INSTDIR\uninstall.exe.new" "$INSTDIR\uninstall.exe"
    File "/oname=LICENSE.txt" "${LICENSE}"

    CreateShortCut "${SHORTCUT}" "$INSTDIR\vardo.exe" "" "$INSTDIR\vardo.exe" 0 \
        SW_SHOWNORMAL "" "${COMMENT}"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${TITLE}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vardo.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "${HOMEPAGE}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ; In KiB, as Settings reads it.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Start ${TITLE} when I log in" SecAutostart
SectionEnd

; After the optional sections, so that an update that leaves "start at log-in" unticked also
; removes the entry an earlier install made.
Section "-Autostart and restart"
    ${If} ${SectionIsSelected} ${SecAutostart}
        WriteRegStr HKCU "${RUN_KEY}" "${TITLE}" '"$INSTDIR\vardo.exe"'
    ${Else}
        DeleteRegValue HKCU "${RUN_KEY}" "${TITLE}"
    ${EndIf}
    ; Interactively the finish page offers to start it; a silent update brings back the face it
    ; closed.
    ${If} ${Silent}
    ${AndIf} $faceWasRunning > 0
        Exec '"$INSTDIR\vardo.exe"'
    ${EndIf}
SectionEnd

Function .onInit
    SetShellVarContext current
    ; An update keeps the choice the installed copy had.
    ClearErrors
    ReadRegStr $0 HKCU "${RUN_KEY}" "${TITLE}"
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecAutostart}
    ${EndIf}
    ${GetParameters} $1
    ClearErrors
    ${GetOptions} $1 "/AUTOSTART=" $2
    ${IfNot} ${Errors}
        ${If} $2 == "1"
            !insertmacro SelectSection ${SecAutostart}
        ${ElseIf} $2 == "0"
            !insertmacro UnselectSection ${SecAutostart}
        ${Else}
            MessageBox MB_OK|MB_ICONSTOP "/AUTOSTART takes 1 or 0, not $\"$2$\"." /SD IDOK
            SetErrorLevel 1
            Quit
        ${EndIf}
    ${EndIf}
FunctionEnd

; The uninstaller runs from a copy of itself in the temporary folder, so that it can delete
; uninstall.exe: no program can delete its own file while it runs, and for a user without
; administrator rights Windows will not delete it at the next restart either. So a hidden
; command prompt deletes the copy and its folder once this process has ended: it tries once a
; second for a minute.
Function un.DeleteOwnCopy
    ${If} $EXEDIR != $INSTDIR
        StrCpy $0 'del /f /q "$EXEPATH" 2>nul & if not exist "$EXEPATH" (rmdir "$EXEDIR" & exit)'
        SetOutPath "$TEMP" ; its working folder, which could not be removed while it is in use
        ExecShell "open" "$SYSDIR\cmd.exe" \
            '/d /q /s /c "for /l %n in (1,1,60) do ($0 & ping -n 2 127.0.0.1 >nul)"' SW_HIDE
    ${EndIf}
FunctionEnd

Function un.onGUIEnd
    Call un.DeleteOwnCopy
FunctionEnd

Function un.onUninstSuccess
    ${IfThen} ${Silent} ${|} Call un.DeleteOwnCopy ${|}
FunctionEnd

Function un.onUninstFailed
    ${IfThen} ${Silent} ${|} Call un.DeleteOwnCopy ${|}
FunctionEnd

Section "Uninstall"
    SetShellVarContext current
    !insertmacro CloseOrAbort "un."
    ; Only what the installer wrote: $INSTDIR may be a folder the user chose and filled.
    Delete "$INSTDIR\vardo.exe"
    Delete "$INSTDIR\vardo.exe.new"
    Delete "$INSTDIR\uninstall.exe.new"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    ; The folder for per-user programs, if the install made it and nothing else is in it.
    RMDir "$LOCALAPPDATA\Programs"
    Delete "${SHORTCUT}"
    DeleteRegValue HKCU "${RUN_KEY}" "${TITLE}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
