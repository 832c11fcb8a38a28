; The peer installer of the benchmark: does what Lumiran Setup does in a
; silent install, the NSIS way, per user and without elevation.
;
;   makensis -DPAYLOAD=suite.exe -DVERSION=2.1.0 -DOUTFILE=peer.exe -DICON=lumiran.ico peer.nsi
;
; Same payload to the same place, an uninstaller beside it, both shortcuts,
; the Run value removed, the nine registration values, then the suite is
; started with the install folder as its working directory. The compressor
; is NSIS's default (zlib, not solid); the CRC check at start is on, as by
; default.
Unicode true
Target amd64-unicode
RequestExecutionLevel user

!ifndef PAYLOAD
  !error "pass the suite executable: -DPAYLOAD=FILE"
!endif
!ifndef VERSION
  !error "pass the version of the setup image it stands beside: -DVERSION=X.Y.Z"
!endif
!ifndef OUTFILE
  !define OUTFILE "Lumiran-Peer-${VERSION}-x64.exe"
!endif

!include LogicLib.nsh

!define PRODUCT "Lumiran"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumiran"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define WINDOW_CLASS "LumiranRenderWindow"
!define WM_CLOSE 0x0010

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Lumiran"
!ifdef ICON
  Icon "${ICON}"
  UninstallIcon "${ICON}"
!endif
ShowInstDetails nevershow
ShowUninstDetails nevershow
AutoCloseWindow true

!pragma warning disable 9100 ; our version block has no LegalCopyright either
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "CompanyName" "Lumiran"
VIAddVersionKey /LANG=1033 "FileDescription" "Lumiran v${VERSION} Setup Installer"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Lumiran"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}.0"

Page instfiles
UninstPage instfiles

; Posts WM_CLOSE to a running suite and waits for its window to go, at most
; 20 checks 100 ms apart, as Lumiran Setup does.
!macro CloseRunningSuite
  FindWindow $0 "${WINDOW_CLASS}"
  ${If} $0 <> 0
    System::Call 'user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)'
    StrCpy $1 0
    ${Do}
      Sleep 100
      IntOp $1 $1 + 1
      IsWindow $0 +2
      ${Break}
    ${LoopWhile} $1 < 20
  ${EndIf}
!macroend

Section "Install"
  SetShellVarContext current
  !insertmacro CloseRunningSuite
  SetOutPath "$INSTDIR"
  File "/oname=Lumiran.exe" "${PAYLOAD}"
  WriteUninstaller "$INSTDIR\Lumiran-Uninstall.exe"
  CreateShortcut "$DESKTOP\Lumiran.lnk" "$INSTDIR\Lumiran.exe" "" "$INSTDIR\Lumiran.exe" 0 \
      SW_SHOWNORMAL "" "Lumiran - 轻盈高效的桌面外壳与效率工具集"
  CreateShortcut "$SMPROGRAMS\Lumiran.lnk" "$INSTDIR\Lumiran.exe" "" "$INSTDIR\Lumiran.exe" 0 \
      SW_SHOWNORMAL "" "Lumiran - 轻盈高效的桌面外壳与效率工具集"
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Lumiran.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Lumiran-Uninstall.exe" /uninstall'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" 1024
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; The working directory is the output folder set above.
  ExecShell "open" "$INSTDIR\Lumiran.exe"
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  !insertmacro CloseRunningSuite
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  Delete "$DESKTOP\Lumiran.lnk"
  Delete "$SMPROGRAMS\Lumiran.lnk"
  Delete "$INSTDIR\Lumiran.exe"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
