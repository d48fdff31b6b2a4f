; The per-user installer of Quorvex: no administrator rights; the program folder lies in
; the user's own programs folder, where the update program can replace the programs.
; makensis -DVERSION=... -DSOURCE=<program folder> -DFILELIST=<uninstall list> -DOUTFILE=...
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"

Name "Quorvex ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Quorvex"
InstallDirRegKey HKCU "Software\Quorvex" "InstallDir"
ShowInstDetails show

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvex"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Section "Quorvex"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File /r "${SOURCE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Quorvex"
  CreateShortCut "$SMPROGRAMS\Quorvex\Quorvex.lnk" "$INSTDIR\Quorvex.exe"
  CreateShortCut "$SMPROGRAMS\Quorvex\卸载 Quorvex.lnk" "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "Software\Quorvex" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quorvex"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Only what the installer put there, and the copy the update program keeps: the user's
; lists, import files, picture folders and settings stay, and so does the folder that
; holds them.
Section "Uninstall"
  SetShellVarContext current
!include "${FILELIST}"
  Delete "$INSTDIR\bak.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Quorvex\Quorvex.lnk"
  Delete "$SMPROGRAMS\Quorvex\卸载 Quorvex.lnk"
  RMDir "$SMPROGRAMS\Quorvex"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\Quorvex"
SectionEnd
