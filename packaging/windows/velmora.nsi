; The Velmora installer: a 64-bit setup program that installs the program's folder, a Start-menu
; shortcut and an Add/Remove Programs entry, whose uninstaller removes exactly the files it
; installed. For all users under Program Files (the default; an administrator's) or for the current
; user alone under %LOCALAPPDATA%\Programs, with its entry in that user's registry (no elevation
; needed): the choice on the first page, or /AllUsers and /CurrentUser. An earlier install of the
; same kind is removed first by its own uninstaller, so that none of its files stays. A running
; velmora.exe or velmoractl.exe stops the setup before anything changes: it asks to close them, and
; under /S exits with code 3. /S installs (and uninstalls) silently, /D= picks the folder.
; scripts/package-windows.sh runs makensis with:
;   VERSION        the project's version (1.0.1)
;   OUTFILE        the setup program to write
;   ICON           packaging/windows/velmora.ico
;   INSTALL_LIST   an include file of SetOutPath/File lines, one per file of the staged folder
;   UNINSTALL_LIST an include file of the matching Delete/RMDir lines
;   SIZE_KB        the staged folder's size, for Add/Remove Programs
;   SIGN           optional: a command that signs the file named by its argument in place; the
;                  uninstaller and the setup program are signed with it
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora"
!define EXIT_RUNNING 3

; Administrators are asked to elevate and get the choice; other users install for themselves.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "Velmora"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_NOUNINSTALL
!include "MultiUser.nsh"
!include "MUI2.nsh"
!include "LogicLib.nsh"

!ifdef SIGN
  !uninstfinalize `${SIGN} "%1"` = 0
  !finalize `${SIGN} "%1"` = 0
!endif

Name "Velmora ${VERSION}"
OutFile "${OUTFILE}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Velmora"
VIAddVersionKey /LANG=1033 "CompanyName" "Velmora"
VIAddVersionKey /LANG=1033 "FileDescription" "Velmora ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Velmora"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ; /D= has set $INSTDIR already; choosing the install mode would replace it.
  StrCpy $0 $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
FunctionEnd

; Sets $R1 to FILE when a running program holds it: its file cannot be opened for writing then.
!macro FIND_RUNNING FILE
  ${If} ${FileExists} "${FILE}"
    ClearErrors
    FileOpen $R3 "${FILE}" a
    ${If} ${Errors}
      StrCpy $R1 "${FILE}"
    ${Else}
      FileClose $R3
    ${EndIf}
  ${EndIf}
!macroend

; Stops the setup while velmora.exe or velmoractl.exe in folder $R0 runs.
Function StopIfRunning
  retry:
  StrCpy $R1 ""
  !insertmacro FIND_RUNNING "$R0\velmora.exe"
  !insertmacro FIND_RUNNING "$R0\velmoractl.exe"
  ${If} $R1 != ""
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$R1 is running. Close it, then choose Retry; Cancel stops the setup with nothing changed." /SD IDCANCEL IDRETRY retry
    SetErrorLevel ${EXIT_RUNNING}
    Quit
  ${EndIf}
FunctionEnd

Section "Velmora"
  SetRegView 64
  ; An earlier install of this kind (all users, or this user) goes first, through its own
  ; uninstaller: it knows the files it installed, some of which this version may not have.
  ReadRegStr $R4 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  StrCpy $R0 $INSTDIR
  Call StopIfRunning
  ${If} $R4 != ""
  ${AndIf} $R4 != $INSTDIR
    StrCpy $R0 $R4
    Call StopIfRunning
  ${EndIf}
  ${If} $R4 != ""
  ${AndIf} ${FileExists} "$R4\uninstall.exe"
    DetailPrint "Removing the installed Velmora from $R4"
    ClearErrors
    ; _?= runs it in place and waits for it; it cannot delete itself then.
    ExecWait '"$R4\uninstall.exe" /S _?=$R4' $R5
    ${If} ${Errors}
    ${OrIf} $R5 != 0
      MessageBox MB_OK|MB_ICONSTOP "The installed Velmora in $R4 could not be removed." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    Delete "$R4\uninstall.exe"
    RMDir "$R4"
  ${EndIf}

  !include "${INSTALL_LIST}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Velmora.lnk" "$INSTDIR\velmora.exe" "" "$INSTDIR\velmora.exe" 0

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Velmora"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Velmora"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velmora.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

; The uninstaller of a per-user install is the one this user's uninstall entry names.
Function un.onInit
  SetRegView 64
  SetShellVarContext all
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\Velmora.lnk"
  !include "${UNINSTALL_LIST}"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: files a user put there stay, and so does their folder.
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
