; Installer of the Windows programs: KVUUtility.exe, kvuctl.exe, the Qt DLLs and plugins they
; load and the mingw runtime. Built with makensis from a folder that holds these files as
; installed (scripts/windows-installer-check.sh stages it):
;   makensis -DSTAGE=<folder> [-DOUTFILE=<setup.exe>] packaging/windows/kvu-utility.nsi
; Silent install and uninstall: setup.exe /S, uninstall.exe /S.

Unicode true
; 64-bit stub: the programs are 64-bit, so Program Files and the registry are the native ones.
Target amd64-unicode
SetCompressor /SOLID lzma

!ifndef STAGE
  !error "define STAGE, the folder with the files to install"
!endif
!ifndef VERSION
  !define VERSION "2.0.6"
!endif
!ifndef OUTFILE
  !define OUTFILE "KVUUtility-${VERSION}-setup.exe"
!endif

!define PRODUCT "Nalto KVU Utility"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\NaltoKVUUtility"
!define MENU_FOLDER "$SMPROGRAMS\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Nalto\KVU Utility"
; A later install goes where the first one went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
; The program itself asks for administrator rights; the installer writes Program Files and HKLM.
RequestExecutionLevel admin
Icon "..\..\app\kvu_utility.ico"
UninstallIcon "..\..\app\kvu_utility.ico"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "Nalto"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}.0"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Every installed file by name, so the uninstaller removes exactly these and nothing the user
; put beside them; the check compares this list with the staged folder.
Section "Install"
  ; The shortcut for every user, as the install folder and the registry entry are.
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}\KVUUtility.exe"
  File "${STAGE}\kvuctl.exe"
  File "${STAGE}\Qt6Core.dll"
  File "${STAGE}\Qt6Gui.dll"
  File "${STAGE}\Qt6Widgets.dll"
  File "${STAGE}\libstdc++-6.dll"
  File "${STAGE}\libgcc_s_seh-1.dll"
  File "${STAGE}\libwinpthread-1.dll"
  SetOutPath "$INSTDIR\platforms"
  File "${STAGE}\platforms\qwindows.dll"
  File "${STAGE}\platforms\qoffscreen.dll"
  SetOutPath "$INSTDIR\styles"
  File "${STAGE}\styles\qwindowsvistastyle.dll"

  ; The shortcut starts in the install folder, where the program writes its log.
  SetOutPath "$INSTDIR"
  CreateDirectory "${MENU_FOLDER}"
  CreateShortCut "${MENU_FOLDER}\${PRODUCT}.lnk" "$INSTDIR\KVUUtility.exe" "" "$INSTDIR\KVUUtility.exe" 0

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Nalto"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\KVUUtility.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\KVUUtility.exe"
  Delete "$INSTDIR\kvuctl.exe"
  Delete "$INSTDIR\Qt6Core.dll"
  Delete "$INSTDIR\Qt6Gui.dll"
  Delete "$INSTDIR\Qt6Widgets.dll"
  Delete "$INSTDIR\libstdc++-6.dll"
  Delete "$INSTDIR\libgcc_s_seh-1.dll"
  Delete "$INSTDIR\libwinpthread-1.dll"
  Delete "$INSTDIR\platforms\qwindows.dll"
  Delete "$INSTDIR\platforms\qoffscreen.dll"
  Delete "$INSTDIR\styles\qwindowsvistastyle.dll"
  ; The logs the programs write when started from the shortcut, with their rotated copies.
  Delete "$INSTDIR\Nalto_KVU_Utility_log*.txt"
  Delete "$INSTDIR\kvuctl_log*.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Not /r: a folder the user filled stays, with what is in it.
  RMDir "$INSTDIR\platforms"
  RMDir "$INSTDIR\styles"
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES64\Nalto"

  Delete "${MENU_FOLDER}\${PRODUCT}.lnk"
  RMDir "${MENU_FOLDER}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
