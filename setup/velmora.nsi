; The setup program of Velmora SDK Lite, in one language.
;
;   makensis -DLANGUAGE=Slovak|English -DPRODUCT=product.nsh -DOUTFILE=setup.exe velmora.nsi
;
; tools/dist makes both programs. product.nsh, which tools/dist writes from the
; release folder it stages, gives the version, the web page and the file list
; (PRODUCT_FILES_INSTALL, PRODUCT_FILES_REMOVE): what the archive holds is what
; the setup installs.
;
; An ANSI program (NSIS's ANSI stub runs from Windows 95 on). Both languages'
; texts are built in, each in its own code page (1250 for Slovak, 1252 for
; English: makensis converts this folder's UTF-8 files); LANGUAGE picks the one
; the program and its uninstaller speak. The other language's texts serve only
; to find Start-menu links that a setup in that language made.
;
; Order of work: the folder is made and tried, then the uninstaller and the
; Add/Remove Programs entry are written, then the files and the links. A setup
; that fails on a machine without an earlier installation takes back all it
; did; over an earlier installation it leaves the entry, and the uninstaller
; removes whatever was written. Exit status: 0 installed, 1 cancelled by the
; user, 2 failed (the reason shown in a message box unless /S).

Unicode false
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!ifndef LANGUAGE | PRODUCT | OUTFILE
  !error "give -DLANGUAGE=Slovak|English, -DPRODUCT=product.nsh and -DOUTFILE=setup.exe"
!endif
!include "${PRODUCT}"
!include "MUI2.nsh"
!include "LogicLib.nsh"

!define PRODUCT_NAME "Velmora SDK Lite"
!define PUBLISHER "Danubia Soft"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora SDK Lite"
!define GROUP "$SMPROGRAMS\Velmora SDK Lite"
!define UNINSTALLER "uninstall.exe"
!define DEFAULT_FOLDER "$PROGRAMFILES\Danubia Soft\Velmora Lite"

Name "${PRODUCT_NAME} ${PRODUCT_VERSION}"
OutFile "${OUTFILE}"
InstallDir "${DEFAULT_FOLDER}"
; Over an earlier installation the folder offered is its folder.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show
; A file that cannot be written stops the setup: no file is skipped.
AllowSkipFiles off
SetOverwrite on
BrandingText "${PUBLISHER}"

!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The program's own language first: it is the default one.
!if "${LANGUAGE}" == "Slovak"
  !insertmacro MUI_LANGUAGE "Slovak"
  !insertmacro MUI_LANGUAGE "English"
!else if "${LANGUAGE}" == "English"
  !insertmacro MUI_LANGUAGE "English"
  !insertmacro MUI_LANGUAGE "Slovak"
!else
  !error "LANGUAGE is Slovak or English"
!endif
!include "lang\english.nsh"
!include "lang\slovak.nsh"

VIProductVersion "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=${LANG_${LANGUAGE}} "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=${LANG_${LANGUAGE}} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_${LANGUAGE}} "FileDescription" "${PRODUCT_NAME} ${PRODUCT_VERSION} setup"
VIAddVersionKey /LANG=${LANG_${LANGUAGE}} "FileVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=${LANG_${LANGUAGE}} "ProductVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=${LANG_${LANGUAGE}} "LegalCopyright" "${PUBLISHER}"

Var FreshInstall   ; 1 when no earlier installation was found
Var Saved          ; the language while the links of another one are looked for

; ---- What the installer and the uninstaller share ------------------------------

; The links of the group, in every language a setup may have made them in.
!macro REMOVE_LINKS
  StrCpy $Saved $LANGUAGE
  !insertmacro REMOVE_LINKS_IN ${LANG_SLOVAK}
  !insertmacro REMOVE_LINKS_IN ${LANG_ENGLISH}
  StrCpy $LANGUAGE $Saved
  RMDir "${GROUP}"
!macroend
!macro REMOVE_LINKS_IN LANGID
  StrCpy $LANGUAGE ${LANGID}
  Delete "${GROUP}\$(LinkReference).lnk"
  Delete "${GROUP}\$(LinkSamples).lnk"
  Delete "${GROUP}\$(LinkUninstall).lnk"
!macroend

; Everything a setup writes, file by file; a file the user put in the folder
; stays, and so does the folder then. The links and the entry go only when they
; belong to this folder (an uninstaller of a folder given up earlier leaves the
; current installation alone).
!macro REMOVE_PRODUCT
  !insertmacro PRODUCT_FILES_REMOVE
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == ""
  ${OrIf} $0 == $INSTDIR
    !insertmacro REMOVE_LINKS
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${EndIf}
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  ${If} $INSTDIR == "${DEFAULT_FOLDER}"
    RMDir "$PROGRAMFILES\Danubia Soft"
  ${EndIf}
!macroend

; ---- The installer -----------------------------------------------------------------

Function .onInit
  StrCpy $LANGUAGE ${LANG_${LANGUAGE}}
  SetShellVarContext all
FunctionEnd

; Stops the setup with a message in the user's language (none when silent).
!macro FAIL TEXT
  DetailPrint "${TEXT}"
  MessageBox MB_OK|MB_ICONSTOP "${TEXT}" /SD IDOK
  SetErrorLevel 2
  Abort
!macroend

Section "${PRODUCT_NAME}" SecProduct
  SectionIn RO
  StrCpy $FreshInstall 1
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $FreshInstall 0
  ${EndIf}

  ; The folder: made, and a file written and removed there.
  ClearErrors
  CreateDirectory "$INSTDIR"
  ${If} ${Errors}
    !insertmacro FAIL "$(CannotWrite)"
  ${EndIf}
  ClearErrors
  FileOpen $1 "$INSTDIR\~setup.tmp" w
  ${If} ${Errors}
    !insertmacro FAIL "$(CannotWrite)"
  ${EndIf}
  FileWrite $1 "${PRODUCT_NAME}"
  FileClose $1
  Delete "$INSTDIR\~setup.tmp"

  ; The uninstaller and the entry before any file, so that whatever a failure
  ; leaves behind can be removed.
  ClearErrors
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  ${If} ${Errors}
    !insertmacro FAIL "$(CannotWrite)"
  ${EndIf}
  ClearErrors
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${PRODUCT_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${PRODUCT_WEB_PAGE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${UNINSTALLER},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecProduct} $1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
  ${If} ${Errors}
    !insertmacro FAIL "$(CannotRegister)"
  ${EndIf}

  ; The files; one that cannot be written stops the setup with NSIS's own
  ; message ("error opening" or "error writing", in the user's language).
  ClearErrors
  !insertmacro PRODUCT_FILES_INSTALL
  ${If} ${Errors}
    !insertmacro FAIL "$(CannotWrite)"
  ${EndIf}

  ; The Start-menu group: links of an earlier setup in any language go first.
  !insertmacro REMOVE_LINKS
  SetOutPath "$INSTDIR"
  ClearErrors
  CreateDirectory "${GROUP}"
  CreateShortCut "${GROUP}\$(LinkReference).lnk" "$INSTDIR\marvo32.chm"
  CreateShortCut "${GROUP}\$(LinkSamples).lnk" "$INSTDIR\examples"
  CreateShortCut "${GROUP}\$(LinkUninstall).lnk" "$INSTDIR\${UNINSTALLER}"
  ${If} ${Errors}
    !insertmacro FAIL "$(CannotLink)"
  ${EndIf}
  SetErrorLevel 0
SectionEnd

; A failed setup on a machine without an earlier installation takes back all
; it wrote.
Function .onInstFailed
  ${If} $FreshInstall == 1
    !insertmacro REMOVE_PRODUCT
  ${EndIf}
  SetErrorLevel 2
FunctionEnd

; ---- The uninstaller -----------------------------------------------------------------

Function un.onInit
  StrCpy $LANGUAGE ${LANG_${LANGUAGE}}
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  !insertmacro REMOVE_PRODUCT
  SetErrorLevel 0
SectionEnd
