; The Windows installer of the KVR7314 configuration tool, made by Debian's
; makensis from the unpacked release (scripts/windows.sh):
;   makensis -DVERSION=1.09 -DRELEASE=<release folder> -DOUTFILE=<setup.exe> kvr7314.nsi
; It copies the release into Program Files and puts the tool and the demo in
; the Start menu, with an uninstaller.

Unicode true
!include "MUI2.nsh"

Name "KVR7314 ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\KVR7314"
InstallDirRegKey HKLM "Software\KVR7314" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Dutch"

Section "KVR7314"
  SetOutPath "$INSTDIR"
  File /r "${RELEASE}\*.*"
  WriteRegStr HKLM "Software\KVR7314" "InstallDir" "$INSTDIR"
  WriteUninstaller "$INSTDIR\Verwijderen.exe"
  CreateDirectory "$SMPROGRAMS\KVR7314"
  CreateShortcut "$SMPROGRAMS\KVR7314\KVR7314 instellen.lnk" "$INSTDIR\kvr7314.exe"
  CreateShortcut "$SMPROGRAMS\KVR7314\KVR7314 instellen (demo).lnk" "$INSTDIR\kvr7314-demo.exe"
  CreateShortcut "$SMPROGRAMS\KVR7314\Lees mij.lnk" "$INSTDIR\LEESMIJ.txt"
  CreateShortcut "$SMPROGRAMS\KVR7314\Verwijderen.lnk" "$INSTDIR\Verwijderen.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\KVR7314" "DisplayName" "KVR7314 ${VERSION}"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\KVR7314" "UninstallString" '"$INSTDIR\Verwijderen.exe"'
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\KVR7314" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\KVR7314" "Publisher" "Velto Software"
SectionEnd

Section "Uninstall"
  RMDir /r "$SMPROGRAMS\KVR7314"
  RMDir /r "$INSTDIR"
  DeleteRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\KVR7314"
  DeleteRegKey HKLM "Software\KVR7314"
SectionEnd
