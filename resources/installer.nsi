; Per-user installer of Quillon: no administrator rights, everything inside the user's own profile.
; makensis -DVERSION=a.b.c.d -DPROGRAM=<Quillon.exe> -DREADME=<README.txt> -DLICENCES=<licences.nsh>
;          -DOUTFILE=<setup.exe> -DRUNNING_MUTEX=<name> [-DICON=<.ico>]
;          [-DSIGN=<command that signs the file named after it>] installer.nsi
; The program is 64-bit only, so the installer may be too (and a Wine without 32-bit support runs it).
Target amd64-unicode
SetCompressor /SOLID lzma

!ifndef VERSION | PROGRAM | README | LICENCES | OUTFILE | RUNNING_MUTEX
  !error "VERSION, PROGRAM, README, LICENCES, OUTFILE and RUNNING_MUTEX must be defined on the command line"
!endif
; The build's own times stay out of the installer: its files take the time of their installation.
SetDateSave off
!ifdef SIGN
  !finalize '${SIGN} "%1"' = 0
  !uninstfinalize '${SIGN} "%1"' = 0
!endif
!include "${LICENCES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillon"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "WinVer.nsh"
!include "Win\WinNT.nsh"

Name "Quillon"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Quillon"
; A later installation goes where the user put the earlier one.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey "ProductName" "Quillon"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Quillon setup"
VIAddVersionKey "CompanyName" "Brovik"
VIAddVersionKey "LegalCopyright" "Copyright Brovik"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_FINISHPAGE_RUN "$INSTDIR\Quillon.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A running Quillon.exe can be neither replaced nor removed: an uninstaller that went on would leave it
; behind without its entry in Settings > Apps. The program holds this mutex in the user's session while it
; runs. A silent run shows no question and ends with ERROR_SHARING_VIOLATION (32), the error that writing
; or deleting the running program's file would meet; so does Cancel. A copy started as administrator
; made the mutex under its own token, which denies this unelevated one: ERROR_ACCESS_DENIED (5) says it runs.
!macro RefuseWhileQuillonRuns ACTION
  retry:
  System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${RUNNING_MUTEX}") p .r0 ?e'
  Pop $1
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
  ${EndIf}
  ${If} $0 P<> 0
  ${OrIf} $1 = 5
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Quillon is running. Close it, then choose Retry to ${ACTION} \
      it." /SD IDCANCEL IDRETRY retry
    SetErrorLevel 32
    Quit
  ${EndIf}
!macroend

; Quillon.exe imports user32 functions that came with Windows 10 version 1607 (build 14393): on an older
; Windows the loader would stop it with an error that tells the user nothing. A silent installation shows
; no message and ends with ERROR_OLD_WIN_VERSION, for the script that ran it.
Function .onInit
  ${IfNot} ${AtLeastBuild} 14393
    MessageBox MB_OK|MB_ICONSTOP "Quillon needs Windows 10, version 1607 or later, and cannot be installed on \
      this version of Windows." /SD IDOK
    SetErrorLevel 1150
    Quit
  ${EndIf}
  !insertmacro RefuseWhileQuillonRuns "install"
FunctionEnd

Function un.onInit
  !insertmacro RefuseWhileQuillonRuns "uninstall"
FunctionEnd

Section "Quillon"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "/oname=Quillon.exe" "${PROGRAM}"
  File "/oname=README.txt" "${README}"
  !insertmacro QUILLON_INSTALL_LICENCES
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Quillon.lnk" "$INSTDIR\Quillon.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quillon"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Brovik"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quillon.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\Quillon.lnk"
  ; File by file, never the whole folder: the user may have chosen a folder that holds other things.
  Delete "$INSTDIR\Quillon.exe"
  Delete "$INSTDIR\README.txt"
  !insertmacro QUILLON_REMOVE_LICENCES
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; The remembered credentials under HKCU\SOFTWARE\Brovik\Licenses\Options are the user's and stay, so
  ; that a new installation or the portable copy still knows them.
SectionEnd
