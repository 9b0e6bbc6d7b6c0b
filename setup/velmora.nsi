; The setup program of Velmora SDK Lite, in one language.
;
;   makensis -DLANGUAGE=Slovak|English -DPRODUCT=product.nsh -DOUTFILE=setup.exe velmora.nsi
;
; tools/dist makes both programs. product.nsh, which tools/dist writes from the
; release folder it stages, gives the version, the web page and the file list
; (PRODUCT_FILES_INSTALL, PRODUCT_FILES_REMOVE): what the archive holds is what
; the setup installs.
;
; An ANSI program (NSIS's ANSI stub runs from Windows 95 on): its texts are
; in the code page of its language, 1250 for Slovak and 1252 for English
; (makensis converts this folder's UTF-8 files), and it and its uninstaller
; speak that language.
;
; Order of work: the folder is made and tried; an earlier installation is
; removed with its own uninstaller (it knows its files and its links, in
; whatever language it was installed; the user's files stay); then the
; uninstaller and the Add/Remove Programs entry are written, then the files
; and the links. A setup that fails takes back all it wrote; one killed midway
; leaves an uninstaller and an entry that remove whatever was written.
;
; Exit status: 0 installed, 1 cancelled by the user, 2 failed (the reason is
; shown in a message box unless /S). A /D= folder that cannot be a folder (a
; file on its way) is refused, where NSIS alone would take the default one.

Unicode false
; Each file compressed on its own: a file is unpacked straight into its place,
; so a full disk shows as NSIS's "error writing to file NAME" (a solid archive
; is first unpacked whole into a temporary file; smaller by about a quarter).
SetCompressor lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!ifndef LANGUAGE | PRODUCT | OUTFILE
  !error "give -DLANGUAGE=Slovak|English, -DPRODUCT=product.nsh and -DOUTFILE=setup.exe"
!endif
!include "${PRODUCT}"
!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

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

!if "${LANGUAGE}" == "Slovak"
  !insertmacro MUI_LANGUAGE "Slovak"
  !include "lang\slovak.nsh"
!else if "${LANGUAGE}" == "English"
  !insertmacro MUI_LANGUAGE "English"
  !include "lang\english.nsh"
!else
  !error "LANGUAGE is Slovak or English"
!endif

VIProductVersion "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=${LANG_${LANGUAGE}} "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=${LANG_${LANGUAGE}} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_${LANGUAGE}} "FileDescription" "${PRODUCT_NAME} ${PRODUCT_VERSION} setup"
VIAddVersionKey /LANG=${LANG_${LANGUAGE}} "FileVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=${LANG_${LANGUAGE}} "ProductVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=${LANG_${LANGUAGE}} "LegalCopyright" "${PUBLISHER}"

Var Written   ; 1 once this setup has begun to write: a failure then takes it all back

; ---- What the installer and the uninstaller share ------------------------------

; Everything a setup writes, file by file; a file the user put in the folder
; stays, and so does the folder then. The links and the entry go only when they
; belong to this folder (an uninstaller of a folder given up earlier leaves the
; current installation alone).
!macro REMOVE_PRODUCT
  SetOutPath "$TEMP" ; a folder that is the current one cannot be removed
  !insertmacro PRODUCT_FILES_REMOVE
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == ""
  ${OrIf} $0 == $INSTDIR
    Delete "${GROUP}\$(LinkReference).lnk"
    Delete "${GROUP}\$(LinkSamples).lnk"
    Delete "${GROUP}\$(LinkUninstall).lnk"
    RMDir "${GROUP}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${EndIf}
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  ${If} $INSTDIR == "${DEFAULT_FOLDER}"
    RMDir "$PROGRAMFILES\Danubia Soft"
  ${EndIf}
!macroend

; ---- The installer -----------------------------------------------------------------

; NSIS drops a /D= folder that cannot be one (a file on its way) for the
; default; this setup says so instead, and stops when silent.
Function .onInit
  SetShellVarContext all
  InitPluginsDir
  ClearErrors
  System::Call "kernel32::GetCommandLineA() t .r0"
  ${GetOptions} $0 "/D=" $1
  ${IfNot} ${Errors}
  ${AndIf} $1 != $INSTDIR
  ${AndIf} $1 != "$INSTDIR\"
    StrCpy $2 $INSTDIR ; the folder NSIS took instead: the earlier one, or the default
    StrCpy $INSTDIR $1
    MessageBox MB_OK|MB_ICONSTOP "$(CannotWrite)" /SD IDOK
    ${If} ${Silent}
      SetErrorLevel 2
      Abort
    ${EndIf}
    StrCpy $INSTDIR $2
  ${EndIf}
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
  StrCpy $Written 0

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

  ; An earlier installation goes first, by its own uninstaller, run in its
  ; folder (_?=), which it therefore cannot remove itself.
  ReadRegStr $2 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $2 != ""
  ${AndIf} ${FileExists} "$2\${UNINSTALLER}"
    DetailPrint "$(RemovingEarlier)"
    CopyFiles /SILENT "$2\${UNINSTALLER}" "$PLUGINSDIR\earlier-${UNINSTALLER}"
    ExecWait '"$PLUGINSDIR\earlier-${UNINSTALLER}" /S _?=$2' $3
    Delete "$2\${UNINSTALLER}"
    RMDir "$2"
    ${If} $2 == "${DEFAULT_FOLDER}"
      RMDir "$PROGRAMFILES\Danubia Soft"
    ${EndIf}
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    CreateDirectory "$INSTDIR"
  ${EndIf}

  ; The uninstaller and the entry before any file, so that whatever a failure
  ; leaves behind can be removed.
  StrCpy $Written 1
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

  ; The Start-menu group.
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

; A failed setup takes back all it wrote.
Function .onInstFailed
  ${If} $Written == 1
    !insertmacro REMOVE_PRODUCT
  ${EndIf}
  SetErrorLevel 2
FunctionEnd

; ---- The uninstaller -----------------------------------------------------------------

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  !insertmacro REMOVE_PRODUCT
  SetErrorLevel 0
SectionEnd
