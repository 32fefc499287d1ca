; The Windows installer, made by scripts/package.sh from the files of the Windows zip (makensis
; works in this folder: the icon is read from here):
;   makensis -DVERSION=1.0 -DFILES=FOLDER -DOUTFILE=SETUP.exe windows-installer.nsi
; It puts the programs in Program Files for every user when an administrator runs it, and in
; the user's own %LOCALAPPDATA%\Programs without asking for any rights otherwise; /AllUsers or
; /CurrentUser chooses on the command line, /S installs without a window. It adds the window
; to the Start menu and to "Open with" of the pictures it reads, never as their default
; program, and an uninstaller that takes all of it away again.

Unicode true
; The programs are 64-bit only, so the installer is too: it sees the 64-bit registry and
; Program Files as they are.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestSupportedOS Win10
ManifestDPIAware true
ManifestLongPathAware true

!ifndef VERSION | FILES | OUTFILE
  !error "define VERSION, FILES and OUTFILE"
!endif

!define PROGRAM enlarge3-window.exe
!define PUBLISHER "the enlarge3 developers"
; The "Open with" entry: a program identifier of its own, named under each picture extension's
; OpenWithProgids. The extensions' own default is never written, so the user's viewer stays.
!define PROGID enlarge3.picture
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\enlarge3"

Name "enlarge3 ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "enlarge3 ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 ProductName "enlarge3"
VIAddVersionKey /LANG=0 ProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 FileVersion "${VERSION}"
VIAddVersionKey /LANG=0 CompanyName "${PUBLISHER}"
VIAddVersionKey /LANG=0 FileDescription "enlarge3 ${VERSION} setup"
VIAddVersionKey /LANG=0 LegalCopyright "Copyright (c) 2026 ${PUBLISHER}, MIT licence"

; An administrator is asked once to raise the installer and installs for everyone; any other
; user installs for themselves. The uninstall entry names the mode its uninstaller runs in.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR enlarge3
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME InstallLocation
!include MultiUser.nsh
!include MUI2.nsh
!include FileFunc.nsh

!define MUI_ICON enlarge3.ico
!define MUI_UNICON enlarge3.ico
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PROGRAM}"
!insertmacro MUI_PAGE_LICENSE "${FILES}\LICENSE.txt"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The installer speaks the user's interface language where it has it, English otherwise.
!insertmacro MUI_LANGUAGE English
!insertmacro MUI_LANGUAGE Japanese

; Every installed file, and every picture extension offered to "Open with", is named once here:
; installing and uninstalling both go through these lists.
!macro ForEachFile DO
  !insertmacro ${DO} enlarge3.exe
  !insertmacro ${DO} enlarge3-window.exe
  !insertmacro ${DO} README.txt
  !insertmacro ${DO} LICENSE.txt
!macroend
!macro ForEachPictureExtension DO
  !insertmacro ${DO} .bmp
  !insertmacro ${DO} .png
  !insertmacro ${DO} .jpg
  !insertmacro ${DO} .jpeg
!macroend

!macro InstallFile NAME
  File "${FILES}\${NAME}"
!macroend
!macro RemoveFile NAME
  Delete "$INSTDIR\${NAME}"
!macroend
!macro OfferToOpen EXTENSION
  WriteRegStr SHCTX "Software\Classes\${EXTENSION}\OpenWithProgids" "${PROGID}" ""
  WriteRegStr SHCTX "Software\Classes\Applications\${PROGRAM}\SupportedTypes" "${EXTENSION}" ""
!macroend
; Only what was added: the extension's key goes only when nothing else is left in it.
!macro WithdrawOffer EXTENSION
  DeleteRegValue SHCTX "Software\Classes\${EXTENSION}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty SHCTX "Software\Classes\${EXTENSION}\OpenWithProgids"
  DeleteRegKey /ifempty SHCTX "Software\Classes\${EXTENSION}"
!macroend

; SHCNE_ASSOCCHANGED: Explorer reads the associations again, so "Open with" shows the change.
!macro TellExplorer
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

Function .onInit
  SetRegView 64
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  SetRegView 64
  !insertmacro MULTIUSER_UNINIT
  ; Started without /CurrentUser (uninstall.exe /S by hand), an administrator's uninstaller
  ; would take the install for every user; the user's own uninstall entry naming this folder
  ; says that it serves the install for one user.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" InstallLocation
  ${If} $0 == $INSTDIR
    Call un.MultiUser.InstallMode.CurrentUser
  ${EndIf}
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  !insertmacro ForEachFile InstallFile
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\enlarge3.lnk" "$INSTDIR\${PROGRAM}" "" "$INSTDIR\${PROGRAM}" 0

  WriteRegStr SHCTX "Software\Classes\${PROGID}" "" "Picture (enlarge3)"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\DefaultIcon" "" '"$INSTDIR\${PROGRAM}",0'
  WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open" "FriendlyAppName" "enlarge3"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\${PROGRAM}" "%1"'
  WriteRegStr SHCTX "Software\Classes\Applications\${PROGRAM}" "FriendlyAppName" "enlarge3"
  WriteRegStr SHCTX "Software\Classes\Applications\${PROGRAM}\shell\open\command" "" '"$INSTDIR\${PROGRAM}" "%1"'
  !insertmacro ForEachPictureExtension OfferToOpen

  ; The entry of Settings > Apps (and of Programs and Features).
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "enlarge3"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\${PROGRAM}",0'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0

  !insertmacro TellExplorer
SectionEnd

Section Uninstall
  !insertmacro ForEachPictureExtension WithdrawOffer
  DeleteRegKey SHCTX "Software\Classes\Applications\${PROGRAM}"
  DeleteRegKey SHCTX "Software\Classes\${PROGID}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  Delete "$SMPROGRAMS\enlarge3.lnk"

  !insertmacro ForEachFile RemoveFile
  Delete "$INSTDIR\uninstall.exe"
  ; Only if empty: whatever the user put in the folder stays.
  RMDir "$INSTDIR"
  ; An install for one user may have been the first to make these in the user's registry and
  ; profile; empty now, they go too.
  ${If} $MultiUser.InstallMode == CurrentUser
    DeleteRegKey /ifempty HKCU "Software\Classes\Applications"
    DeleteRegKey /ifempty HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall"
    RMDir "$LOCALAPPDATA\Programs"
  ${EndIf}

  !insertmacro TellExplorer
SectionEnd
