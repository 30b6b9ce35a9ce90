; Tendral's installer: per user, without administrator rights. scripts/package.sh builds it with
;   makensis -DVERSION=1.2.3.4 -DCOMPANY=... -DCOPYRIGHT=... -DPRODUCT=... -DMAIN_WINDOW=caption
;            -DICON=file -DBIN_X86=dir -DBIN_X64=dir -DKB_X86=size -DKB_X64=size
;            -DUNINSTALLER_HOOK=command -DOUTFILE=file
; MAIN_WINDOW is the program's main window caption, as the resources define it; the hook runs on the
; uninstaller (%1) before it is packed, to sign it and keep a copy.
; Options: /S installs silently with the defaults; /RUN starts the program at the end of a silent
; install too; /D=folder installs elsewhere (last on the command line and unquoted, even with spaces,
; as for every NSIS installer).

Unicode true
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma
!uninstfinalize '${UNINSTALLER_HOOK}' = 0

!include MUI2.nsh
!include x64.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh
!include WinMessages.nsh

!define EXE "Velkaro.exe"
!define UNINSTALLER "uninstall.exe"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The value name under Run and StartupApproved\Run, as the Startup apps page lists it.
!define RUN_VALUE "${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An update goes where the earlier install is, so that a folder the user chose keeps working and no
; second copy is left behind; /D= still wins. HKCU\Software is the same in both registry views.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" InstallLocation
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_COMPONENTSPAGE_TEXT_TOP "Tendral switches your NVIDIA graphics card's overclocked mode from its icon in the notification area."
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

; 1 when the installer must start the program at its end without a finish page: /S /RUN, or a silent
; update that ended a running copy, whose user would otherwise be left at stock clocks with no icon.
Var StartAtEnd

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} CompanyName "${COMPANY}"
VIAddVersionKey /LANG=${LANG_ENGLISH} ProductName "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} ProductVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} FileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} FileDescription "${PRODUCT} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} LegalCopyright "${COPYRIGHT}"

; The folder whose copies EndRunningCopies ends, and the folder of the copy installed before this one.
Var CopyFolder
Var OldFolder

; Writes the folder in the variable in its long form, as Windows names a running program's file: the
; same folder given with short names then compares equal. A folder that does not exist stays as given.
!macro LONG_PATH var
  StrCpy $R9 ${var}
  System::Call "kernel32::GetLongPathNameW(w R9, w .r0, i ${NSIS_MAX_STRLEN}) i .r1"
  ${If} $1 <> 0
    StrCpy ${var} $0
  ${EndIf}
!macroend

; Ends each copy that runs from $CopyFolder through its window: closing it switches the overclocked mode
; off first, which ending the process any other way would not do. A copy started from anywhere else,
; the portable zip's say, is left alone. Waits for each process; aborts the install or uninstall
; with a message (silently: exit code 2) when a copy is still there after three tries.
!macro DEFINE_END_RUNNING_COPIES un
Function ${un}EndRunningCopies
  !insertmacro LONG_PATH $CopyFolder
  StrCpy $4 0
  ${Do}
    ; $0: the next window with the caption, after the one in $0; $3: its program's path.
    StrCpy $0 0
    ${Do}
      FindWindow $0 "#32770" "${MAIN_WINDOW}" "" $0
      ${If} $0 = 0
        Return
      ${EndIf}
      System::Call "user32::GetWindowThreadProcessId(p r0, *i 0 r1)"
      System::Call "kernel32::OpenProcess(i 0x00101000, i 0, i r1) p .r2"  ; SYNCHRONIZE, QUERY_LIMITED_INFORMATION
      StrCpy $3 ""
      ${If} $2 P<> 0
        System::Call "kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r3, *i ${NSIS_MAX_STRLEN})"
      ${EndIf}
      ${If} $3 == "$CopyFolder\${EXE}"  ; compared without regard to case, as Windows names files
        ${Break}
      ${EndIf}
      System::Call "kernel32::CloseHandle(p r2)"
    ${Loop}
    ${If} $4 >= 3
      System::Call "kernel32::CloseHandle(p r2)"
      MessageBox MB_ICONSTOP "${PRODUCT} is still running. End it with Exit in its tray menu, then try again." /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
    !if "${un}" == ""
      StrCpy $StartAtEnd 1
    !endif
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=10000
    System::Call "kernel32::WaitForSingleObject(p r2, i 10000)"
    System::Call "kernel32::CloseHandle(p r2)"
    IntOp $4 $4 + 1
  ${Loop}
FunctionEnd
!macroend
!insertmacro DEFINE_END_RUNNING_COPIES ""
!insertmacro DEFINE_END_RUNNING_COPIES "un."

Section "${PRODUCT}" SecProgram
  SectionIn RO
  SetShellVarContext current
  ; An update into another folder (/D=) takes the place of the copy installed before: that one ends
  ; too, and its files go, so that one copy and one uninstall entry remain.
  ReadRegStr $OldFolder HKCU "${UNINSTALL_KEY}" InstallLocation
  !insertmacro LONG_PATH $OldFolder
  StrCpy $CopyFolder $INSTDIR
  !insertmacro LONG_PATH $CopyFolder
  ${If} $OldFolder == $CopyFolder
    StrCpy $OldFolder ""
  ${EndIf}
  Call EndRunningCopies
  ${If} $OldFolder != ""
    StrCpy $CopyFolder $OldFolder
    Call EndRunningCopies
  ${EndIf}
  SetOutPath "$INSTDIR"
  ; The 64-bit program on 64-bit Windows: it must load the driver's 64-bit library.
  ${If} ${RunningX64}
    File "${BIN_X64}\${EXE}"
  ${Else}
    File "${BIN_X86}\${EXE}"
  ${EndIf}
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}"
  ${If} $OldFolder != ""
    Delete "$OldFolder\${EXE}"
    Delete "$OldFolder\${UNINSTALLER}"
    RMDir "$OldFolder"
  ${EndIf}

  WriteRegStr HKCU "${UNINSTALL_KEY}" DisplayName "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" Publisher "${COMPANY}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" DisplayIcon "$INSTDIR\${EXE},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" NoRepair 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" EstimatedSize $0
SectionEnd

Section "Start ${PRODUCT} when I sign in" SecSignIn
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\${EXE}"'
SectionEnd

; Without the choice, no start at sign-in is left behind, neither the Run value nor Windows' record
; of whether the user allowed it.
Section "-NoSignIn"
  ${IfNot} ${SectionIsSelected} ${SecSignIn}
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
    DeleteRegValue HKCU "${APPROVED_KEY}" "${RUN_VALUE}"
  ${EndIf}
SectionEnd

Function .onInit
  ; The section holds both builds; the page shows the size of the one that is installed.
  ${If} ${RunningX64}
    SetRegView 64
    SectionSetSize ${SecProgram} ${KB_X64}
  ${Else}
    SectionSetSize ${SecProgram} ${KB_X86}
  ${EndIf}
  ; An update keeps the earlier choice: a copy installed without the start at sign-in stays without.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" UninstallString
  ReadRegStr $1 HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 != ""
  ${AndIf} $1 == ""
    !insertmacro UnselectSection ${SecSignIn}
  ${EndIf}
FunctionEnd

; Interactively the finish page starts it (its box is checked by default), and this runs after that
; page: starting here too would make two.
Function .onInstSuccess
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/RUN" $1
  ${IfNot} ${Errors}
    StrCpy $StartAtEnd 1
  ${EndIf}
  ${If} ${Silent}
  ${AndIf} $StartAtEnd == 1
    Exec '"$INSTDIR\${EXE}"'
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetShellVarContext current
  StrCpy $CopyFolder $INSTDIR
  Call un.EndRunningCopies
  ; A copy that still runs (of another session, say) keeps its file: then nothing is removed, and the
  ; entry and the uninstaller stay, so that the uninstall can be run again.
  ClearErrors
  Delete "$INSTDIR\${EXE}"
  ${If} ${Errors}
    MessageBox MB_ICONSTOP "${PRODUCT} is still running and was not removed. End it, then uninstall it again." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegValue HKCU "${APPROVED_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd
