; The Windows installer of the KVR7314 configuration tool, made by Debian's
; makensis from the unpacked release (scripts/windows.sh):
;   makensis -DVERSION=1.09 -DRELEASE=<release folder> -DOUTFILE=<setup.exe> kvr7314.nsi
; It copies the release into Program Files (or, without administrator
; rights, into the user's own programs folder), puts the tool, the demo, the fleet window
; in the Start menu, lets the tool open .kvr files, and has an uninstaller
; that takes all of it away again.

; A 64-bit installer for the 64-bit programs (it also runs under a wine of
; 64 bits alone, where the tests run it).
Target amd64-unicode
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "KVR7314"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "Software\KVR7314"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallDir"
!include "MultiUser.nsh"
!include "MUI2.nsh"

Name "KVR7314 ${VERSION}"
OutFile "${OUTFILE}"
SetCompressor /SOLID lzma

; A .kvr file is a "KVR7314.Instellingen"; the tool opens it.
!define PROGID "KVR7314.Instellingen"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KVR7314"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Dutch"

Function .onInit
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

; Tells Explorer that the file associations changed.
!macro RefreshAssociations
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

Section "KVR7314"
  SetOutPath "$INSTDIR"
  File /r "${RELEASE}\*.*"
  ; SHCTX: HKLM when installed for all users, HKCU when for this user.
  WriteRegStr SHCTX "Software\KVR7314" "InstallDir" "$INSTDIR"
  WriteUninstaller "$INSTDIR\Verwijderen.exe"
  CreateDirectory "$SMPROGRAMS\KVR7314"
  CreateShortcut "$SMPROGRAMS\KVR7314\KVR7314 instellen.lnk" "$INSTDIR\kvr7314.exe"
  CreateShortcut "$SMPROGRAMS\KVR7314\KVR7314 instellen (demo).lnk" "$INSTDIR\kvr7314-demo.exe"
  CreateShortcut "$SMPROGRAMS\KVR7314\KVR7314 vloot.lnk" "$INSTDIR\kvr7314-fleet.exe"
  CreateShortcut "$SMPROGRAMS\KVR7314\Lees mij.lnk" "$INSTDIR\LEESMIJ.txt"
  CreateShortcut "$SMPROGRAMS\KVR7314\Verwijderen.lnk" "$INSTDIR\Verwijderen.exe"

  WriteRegStr SHCTX "Software\Classes\${PROGID}" "" "KVR7314-instellingen"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\kvr7314.exe,0"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\kvr7314.exe" "%1"'
  WriteRegStr SHCTX "Software\Classes\.kvr\OpenWithProgids" "${PROGID}" ""
  ; Opened by the tool on a double click, unless another program already has .kvr.
  ReadRegStr $0 SHCTX "Software\Classes\.kvr" ""
  StrCmp $0 "" 0 +2
    WriteRegStr SHCTX "Software\Classes\.kvr" "" "${PROGID}"
  !insertmacro RefreshAssociations

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "KVR7314 ${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Verwijderen.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Velto Software"
SectionEnd

Section "Uninstall"
  RMDir /r "$SMPROGRAMS\KVR7314"
  RMDir /r "$INSTDIR"
  DeleteRegKey SHCTX "Software\Classes\${PROGID}"
  DeleteRegValue SHCTX "Software\Classes\.kvr\OpenWithProgids" "${PROGID}"
  ReadRegStr $0 SHCTX "Software\Classes\.kvr" ""
  StrCmp $0 "${PROGID}" 0 +2
    DeleteRegValue SHCTX "Software\Classes\.kvr" ""
  DeleteRegKey /ifempty SHCTX "Software\Classes\.kvr\OpenWithProgids"
  DeleteRegKey /ifempty SHCTX "Software\Classes\.kvr"
  !insertmacro RefreshAssociations
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  DeleteRegKey SHCTX "Software\KVR7314"
SectionEnd
