; The Lumivex setup program. Made by the build (installer/CMakeLists.txt), which defines:
;   VERSION        three numbers, "1.6.0"          VERSION4   four numbers, "1.6.0.0"
;   ARCH           x86 or x64                      OUTFILE    the setup program to write
;   FILES_NSH      the File and Delete lines made from install-list.txt
;   ICON           the program's icon              PUBLISHER, COPYRIGHT, HOMEPAGE
; The x86 setup installs the 32-bit program into the 32-bit Program Files folder; the x64 one installs
; the 64-bit program into the 64-bit Program Files folder.
;
; Command line: /S silent; /D=folder the install folder (last, unquoted); /NODESKTOP no desktop
; shortcut (a silent upgrade otherwise keeps the shortcuts as they are).

!macro Required name
  !ifndef ${name}
    !error "${name} is not defined: the setup is made by the build (cmake --build build/<preset> --target package)"
  !endif
!macroend
!insertmacro Required VERSION
!insertmacro Required VERSION4
!insertmacro Required ARCH
!insertmacro Required OUTFILE
!insertmacro Required FILES_NSH
!insertmacro Required ICON
!insertmacro Required PUBLISHER
!insertmacro Required COPYRIGHT
!insertmacro Required HOMEPAGE

!if ${ARCH} == x64
  Target amd64-unicode
!else
  Unicode true
!endif
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include "${FILES_NSH}"

!define PRODUCT "Lumivex"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; How a running copy is known: the main window's class and the property it carries with the value 1.
!define MAIN_CLASS "LVXWND_UnicodeClass"
!define INSTANCE_MARKER "LVX-2DFFEFB1-E7C2-4acb-9E32-9506AD4960D0"
!define CLOSE_WAIT_MS 5000
!define GONE_CHECKS 13
!define GONE_CHECK_MS 500

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
!if ${ARCH} == x64
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION4}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION4}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"

Var Upgrade  ; 1 when a copy is installed already: its folder is kept and the upgrade is marked

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
; An upgrade goes where the installed copy is.
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipOnUpgrade
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; $0 = the main window of a copy running on this desktop, 0 when there is none.
!macro FindRunningCopy un
Function ${un}FindRunningCopy
  Push $1
  StrCpy $0 0
  loop:
    FindWindow $0 "${MAIN_CLASS}" "" 0 $0
    ${If} $0 <> 0
      System::Call 'user32::GetPropW(p r0, w "${INSTANCE_MARKER}") p .r1'
      StrCmp $1 1 done loop
    ${EndIf}
  done:
  Pop $1
FunctionEnd
!macroend
!insertmacro FindRunningCopy ""

; Closes a running copy as its own "/uninstall" does: WM_CLOSE (its orderly exit), a wait for the
; process, then up to GONE_CHECKS looks for the window. A copy that stays is reported and the setup
; stops, as files in use could not be replaced.
Function CloseRunningCopy
  Push $0
  Push $1
  Push $2
  Push $3
  Call FindRunningCopy
  ${If} $0 <> 0
    DetailPrint "Closing the running ${PRODUCT}..."
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
    System::Call 'user32::SendMessageTimeoutW(p r0, i 0x0010, p 0, p 0, i 2, i ${CLOSE_WAIT_MS}, *p .r3)'
    ${If} $2 <> 0
      System::Call 'kernel32::WaitForSingleObject(p r2, i ${CLOSE_WAIT_MS})'
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
    StrCpy $1 $0
    StrCpy $3 0
    ${Do}
      Call FindRunningCopy
      ${If} $0 <> $1
      ${OrIf} $3 >= ${GONE_CHECKS}
        ${ExitDo}
      ${EndIf}
      Sleep ${GONE_CHECK_MS}
      IntOp $3 $3 + 1
    ${Loop}
    ${If} $0 = $1
      MessageBox MB_ICONSTOP|MB_OK "${PRODUCT} is still running and could not be closed. Close it and run the setup again." /SD IDOK
      Abort "${PRODUCT} is still running."
    ${EndIf}
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Writes the install type into installdata.ini of the machine-wide data folder. The program keeps
; its INI files as UTF-16LE text with a byte-order mark; the profile functions keep the encoding of
; a file that exists, so a missing file is first made as the program makes it.
Function MarkUpgrade
  Push $0
  Push $1
  SetShellVarContext all
  StrCpy $0 "$APPDATA\${PRODUCT} Data\installdata.ini"
  ${IfNot} ${FileExists} $0
    CreateDirectory "$APPDATA\${PRODUCT} Data"
    ClearErrors
    FileOpen $1 $0 w
    ${IfNot} ${Errors}
      FileWriteUTF16LE /BOM $1 "[FILEVER]$\r$\nVER=16000$\r$\n"
      FileClose $1
    ${EndIf}
  ${EndIf}
  WriteINIStr $0 "INSTALLINFO" "InstallType" "Upgrade"
  FlushINI $0
  Pop $1
  Pop $0
FunctionEnd

Function SkipOnUpgrade
  ${If} $Upgrade = 1
    Abort
  ${EndIf}
FunctionEnd

; The setup runs as administrator; the program is started through the shell of the logged-on user,
; so that it runs as that user and not elevated.
Function StartProgram
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\lumivex.exe"'
FunctionEnd

Section "${PRODUCT} (required)" SecProgram
  SectionIn RO
  SetShellVarContext all
  Call CloseRunningCopy
  ; A copy in the chosen folder that the Uninstall key does not name is upgraded all the same.
  ${If} ${FileExists} "$INSTDIR\lumivex.exe"
    StrCpy $Upgrade 1
  ${EndIf}
  !insertmacro LVX_INSTALL_FILES
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\lumivex.exe" "" "$INSTDIR\lumivex.exe" 0

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "URLInfoAbout" "${HOMEPAGE}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\lumivex.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1

  ; The program's first start does the install bookkeeping: after a new install it finds no
  ; installdata.ini (one left by an earlier install goes), after an upgrade it finds "Upgrade".
  ${If} $Upgrade = 1
    Call MarkUpgrade
  ${Else}
    Delete "$APPDATA\${PRODUCT} Data\installdata.ini"
  ${EndIf}
SectionEnd

Section "Desktop shortcut" SecDesktop
  SetShellVarContext all
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\lumivex.exe" "" "$INSTDIR\lumivex.exe" 0
SectionEnd

Section "-Finish"
  SetShellVarContext all
  ${IfNot} ${SectionIsSelected} ${SecDesktop}
    Delete "$DESKTOP\${PRODUCT}.lnk"
  ${EndIf}
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Function .onInit
  SetShellVarContext all
  StrCpy $Upgrade 0
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$INSTDIR\lumivex.exe"
    StrCpy $Upgrade 1
    ; An upgrade keeps the shortcuts that the installed copy has.
    ${IfNot} ${FileExists} "$DESKTOP\${PRODUCT}.lnk"
      !insertmacro UnselectSection ${SecDesktop}
    ${EndIf}
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NODESKTOP" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecDesktop}
  ${EndIf}
FunctionEnd

!insertmacro FindRunningCopy "un."

Section "Uninstall"
  SetShellVarContext all
  ; The program's own "/uninstall" closes a running copy and removes every loaded user's Run value
  ; and registry keys.
  ${If} ${FileExists} "$INSTDIR\lumivex.exe"
    DetailPrint "Closing ${PRODUCT} and removing its registry values..."
    ExecWait '"$INSTDIR\lumivex.exe" /uninstall'
  ${EndIf}
  Call un.FindRunningCopy
  ${If} $0 <> 0
    MessageBox MB_ICONEXCLAMATION|MB_OK "${PRODUCT} is still running; its files are removed when Windows restarts." /SD IDOK
  ${EndIf}
  Delete /REBOOTOK "$INSTDIR\lumivex.exe"
  !insertmacro LVX_REMOVE_FILES
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINST_KEY}"

  ; The machine-wide data folder holds only the install bookkeeping and the session files of
  ; running copies.
  Delete "$APPDATA\${PRODUCT} Data\installdata.ini"
  Delete "$APPDATA\${PRODUCT} Data\*.session"
  RMDir "$APPDATA\${PRODUCT} Data"

  ; The user's own data folder (settings, histories, the search cache) goes only when asked for.
  SetShellVarContext current
  ${If} ${FileExists} "$APPDATA\${PRODUCT} Data\*.*"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
      "Remove your ${PRODUCT} settings and search cache too?$\r$\n$\r$\n$APPDATA\${PRODUCT} Data" \
      /SD IDNO IDNO keep
    RMDir /r "$APPDATA\${PRODUCT} Data"
    keep:
  ${EndIf}
SectionEnd
