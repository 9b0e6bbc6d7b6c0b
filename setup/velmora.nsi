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
; shown in a message box unless /S). The folder is the one /D= names, also
; when the option or the folder is quoted ("/D=C:\A B" or /D="C:\A B", as
; scripts write it), which NSIS alone would ignore for the default one. A
; folder that cannot be made or written (a file on its way, a read-only disk)
; is refused before anything is written: the wizard stays on its folder page,
; a silent setup ends with status 2.

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
; Cancel asks first, in the setup's language.
!define MUI_ABORTWARNING
!define MUI_UNABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
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

; The links' names are this program's ANSI texts, and Windows makes them file
; names through the code page of the moment. The setup records that code page
; (LinkCodePage); when it has changed since (the user switched the system
; locale), a link is also deleted under its Unicode name made through the
; recorded one: the group's folder through today's code page, the link's own
; name through the recorded one. Windows 9x has no Unicode file functions, nor
; a code page that changes. $R8 is the recorded code page or "".
!macro DELETE_LINK NAME
  Delete "${GROUP}\${NAME}.lnk"
  ${If} $R8 != ""
    System::Call "kernel32::GetACP() i .R7"
    ${If} $R8 != $R7
      System::Alloc 4096
      Pop $R6
      System::Call "kernel32::MultiByteToWideChar(i 0, i 0, t '${GROUP}\', i -1, i R6, i 2048) i .R5"
      ${If} $R5 > 0
        IntOp $R7 $R5 - 1
        IntOp $R7 $R7 * 2
        IntOp $R7 $R7 + $R6
        IntOp $R5 2048 - $R5
        System::Call "kernel32::MultiByteToWideChar(i R8, i 0, t '${NAME}.lnk', i -1, i R7, i R5) i .R5"
        ${If} $R5 > 0
          System::Call "kernel32::DeleteFileW(i R6)"
        ${EndIf}
      ${EndIf}
      System::Free $R6
    ${EndIf}
  ${EndIf}
!macroend

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
    ReadRegDWORD $R8 HKLM "${UNINSTALL_KEY}" "LinkCodePage"
    !insertmacro DELETE_LINK "$(LinkReference)"
    !insertmacro DELETE_LINK "$(LinkSamples)"
    !insertmacro DELETE_LINK "$(LinkUninstall)"
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

; The folder /D= names, as NSIS reads it (the rest of the command line) or
; quoted around the option or the folder: $0 the command line, answer in $1
; ("" without /D=). Like NSIS, only an upper-case /D= after a blank counts.
Function FolderOption
  Push $2
  Push $3
  Push $4
  Push $5
  StrCpy $1 ""
  StrLen $4 $0
  StrCpy $2 1
  ${DoWhile} $2 < $4
    StrCpy $3 $0 3 $2
    IntOp $5 $2 - 1
    StrCpy $5 $0 1 $5
    ${If} $5 == '"'
    ${OrIf} $5 == " "
      StrCpy $3 $3 3
    ${Else}
      StrCpy $3 ""
    ${EndIf}
    ${If} $3 S== "/D="
      IntOp $2 $2 + 3
      ${If} $5 != '"'
        StrCpy $5 $0 1 $2
        ${If} $5 == '"'
          IntOp $2 $2 + 1
        ${EndIf}
      ${EndIf}
      StrCpy $1 $0 "" $2
      ${If} $5 == '"'
        ; up to the closing quote
        StrCpy $2 0
        StrLen $4 $1
        ${DoWhile} $2 < $4
          StrCpy $3 $1 1 $2
          ${IfThen} $3 == '"' ${|} ${ExitDo} ${|}
          IntOp $2 $2 + 1
        ${Loop}
        StrCpy $1 $1 $2
      ${EndIf}
      ; trailing blanks and backslashes, as NSIS drops them
      ${Do}
        StrCpy $3 $1 1 -1
        ${If} $3 != " "
        ${AndIf} $3 != "\"
          ${ExitDo}
        ${EndIf}
        StrCpy $1 $1 -1
      ${Loop}
      ${ExitDo}
    ${EndIf}
    IntOp $2 $2 + 1
  ${Loop}
  Pop $5
  Pop $4
  Pop $3
  Pop $2
FunctionEnd

; Whether $INSTDIR can be made and written: it is made and a file written
; there, then what this made goes again (down to the folder that was there
; before), so nothing is left behind. Answers 1 or 0 in $0.
Function FolderUsable
  Push $1
  Push $2
  StrCpy $0 0
  ; the nearest folder on the way that is there (or a file in its way)
  StrCpy $1 $INSTDIR
  ${Do}
    System::Call "kernel32::GetFileAttributesA(t r1) i .r2"
    ${IfThen} $2 != -1 ${|} ${ExitDo} ${|}
    ${GetParent} "$1" $2
    ${If} $2 == ""
    ${OrIf} $2 == $1
      StrCpy $1 ""
      ${ExitDo}
    ${EndIf}
    StrCpy $1 $2
  ${Loop}
  ${If} $1 != ""
    ClearErrors
    CreateDirectory "$INSTDIR"
    ${IfNot} ${Errors}
      FileOpen $2 "$INSTDIR\~velmora-setup.tmp" w
      ${IfNot} ${Errors}
        FileClose $2
        Delete "$INSTDIR\~velmora-setup.tmp"
        StrCpy $0 1
      ${EndIf}
    ${EndIf}
    StrCpy $2 $INSTDIR
    ${DoWhile} $2 != $1
      ${IfThen} $2 == "" ${|} ${ExitDo} ${|}
      RMDir "$2"
      ${GetParent} "$2" $2
    ${Loop}
  ${EndIf}
  Pop $2
  Pop $1
FunctionEnd

; The folder /D= names is the folder, quoted or not; one that cannot be used
; is told at once, and a silent setup stops there.
Function .onInit
  SetShellVarContext all
  InitPluginsDir
  System::Call "kernel32::GetCommandLineA() t .r0"
  Call FolderOption
  ${If} $1 != ""
    StrCpy $INSTDIR $1
    Call FolderUsable
    ${If} $0 != 1
      MessageBox MB_OK|MB_ICONSTOP "$(CannotWrite)" /SD IDOK
      ${If} ${Silent}
        SetErrorLevel 2
        Abort
      ${EndIf}
    ${EndIf}
  ${EndIf}
FunctionEnd

; The folder page keeps the user until the folder can be used.
Function DirectoryLeave
  Call FolderUsable
  ${If} $0 != 1
    MessageBox MB_OK|MB_ICONSTOP "$(CannotWrite)"
    Abort
  ${EndIf}
FunctionEnd

; Stops the setup with a message in the user's language (none when silent);
; the details list gets its one-line form.
!macro FAIL DETAIL TEXT
  DetailPrint "${DETAIL}"
  MessageBox MB_OK|MB_ICONSTOP "${TEXT}" /SD IDOK
  SetErrorLevel 2
  Abort
!macroend

Section "${PRODUCT_NAME}" SecProduct
  SectionIn RO
  StrCpy $Written 0

  ; The folder: made, and a file written and removed there. NSIS would list
  ; the folder as created even when it could not be.
  ClearErrors
  SetDetailsPrint none
  CreateDirectory "$INSTDIR"
  SetDetailsPrint both
  ${If} ${Errors}
    !insertmacro FAIL "$(CannotWriteDetail)" "$(CannotWrite)"
  ${EndIf}
  ClearErrors
  FileOpen $1 "$INSTDIR\~setup.tmp" w
  ${If} ${Errors}
    !insertmacro FAIL "$(CannotWriteDetail)" "$(CannotWrite)"
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
    !insertmacro FAIL "$(CannotWriteDetail)" "$(CannotWrite)"
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
    !insertmacro FAIL "$(CannotRegister)" "$(CannotRegister)"
  ${EndIf}

  ; The files; one that cannot be written stops the setup with NSIS's own
  ; message ("error opening" or "error writing", in the user's language).
  ClearErrors
  !insertmacro PRODUCT_FILES_INSTALL
  ${If} ${Errors}
    !insertmacro FAIL "$(CannotWriteDetail)" "$(CannotWrite)"
  ${EndIf}

  ; The Start-menu group.
  SetOutPath "$INSTDIR"
  ClearErrors
  CreateDirectory "${GROUP}"
  CreateShortCut "${GROUP}\$(LinkReference).lnk" "$INSTDIR\marvo32.chm"
  CreateShortCut "${GROUP}\$(LinkSamples).lnk" "$INSTDIR\examples"
  CreateShortCut "${GROUP}\$(LinkUninstall).lnk" "$INSTDIR\${UNINSTALLER}"
  System::Call "kernel32::GetACP() i .r1"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "LinkCodePage" $1
  ${If} ${Errors}
    !insertmacro FAIL "$(CannotLink)" "$(CannotLink)"
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
