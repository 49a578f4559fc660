; Per-user installer of Quibbleton Player: no administrator rights, everything
; under the user's profile and HKEY_CURRENT_USER.
;
; makensis -DVERSION=1.0.6 -DFLASH_CLSID=<the class id of movie/FlashClsid.h>
;   -DBIN_DIR=<folder with the built files> -DOUTFILE=<setup.exe> QuibbletonPlayer.nsi
;
; It installs the player, its window icon and the stand-in Flash control,
; registers the portal's link scheme (quibbleton:) and, only where no
; Shockwave Flash control is registered, the stand-in; the uninstaller takes
; back exactly what the installer added. /S installs and uninstalls silently.

Unicode true
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!ifndef VERSION | BIN_DIR | OUTFILE | FLASH_CLSID
  !error "define VERSION, BIN_DIR, OUTFILE and FLASH_CLSID"
!endif

!define APP_NAME "Quibbleton Player"
!define APP_EXE "QuibbletonPlayer.exe"
!define SCHEME "quibbleton"
; The description regsvr32 would give the stand-in (swfcontrol/Registration.cpp).
!define STAND_IN_NAME "Shockwave Flash stand-in (Quibbleton Player)"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuibbletonPlayer"
!define SHORTCUT "$SMPROGRAMS\${APP_NAME}.lnk"

Name "${APP_NAME}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP_NAME}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${APP_NAME} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${APP_NAME}"
VIAddVersionKey /LANG=1033 "CompanyName" "Quibbleton"
VIAddVersionKey /LANG=1033 "FileDescription" "${APP_NAME} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 Quibbleton"

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define MUI_ICON "${BIN_DIR}/regular.ico"
!define MUI_UNICON "${BIN_DIR}/regular.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\${APP_EXE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var classesCopy     ; 1: this system's classes root does not show per-user classes
Var standIn         ; 1: the installer registered the stand-in control

; Windows merges HKCU\Software\Classes into HKEY_CLASSES_ROOT; Wine 8 does not,
; and there neither the shell nor COM would find a per-user registration. Where
; the merged view does not show what was just written, the same keys go to the
; machine's classes as well (Wine has no access checks, and on Windows the view
; is merged, so this never asks for rights the user lacks).
!macro WriteScheme ROOT
  WriteRegStr ${ROOT} "Software\Classes\${SCHEME}" "" "URL:${APP_NAME} link"
  WriteRegStr ${ROOT} "Software\Classes\${SCHEME}" "URL Protocol" ""
  WriteRegStr ${ROOT} "Software\Classes\${SCHEME}\DefaultIcon" "" "$INSTDIR\${APP_EXE},0"
  WriteRegStr ${ROOT} "Software\Classes\${SCHEME}\shell\open\command" "" '"$INSTDIR\${APP_EXE}" "%1"'
!macroend

!macro WriteStandIn ROOT
  WriteRegStr ${ROOT} "Software\Classes\CLSID\${FLASH_CLSID}" "" "${STAND_IN_NAME}"
  WriteRegStr ${ROOT} "Software\Classes\CLSID\${FLASH_CLSID}\InprocServer32" "" "$INSTDIR\swfcontrol.dll"
  WriteRegStr ${ROOT} "Software\Classes\CLSID\${FLASH_CLSID}\InprocServer32" "ThreadingModel" "Apartment"
!macroend

; Removes the scheme only while it still starts this installation: a later
; install elsewhere may have taken it over.
!macro RemoveScheme ROOT
  ReadRegStr $0 ${ROOT} "Software\Classes\${SCHEME}\shell\open\command" ""
  ${If} $0 == '"$INSTDIR\${APP_EXE}" "%1"'
    DeleteRegKey ${ROOT} "Software\Classes\${SCHEME}"
  ${EndIf}
!macroend

; Removes the stand-in's class only while it still names this installation's
; DLL, and the CLSID folder when that leaves it empty.
!macro RemoveStandIn ROOT
  ReadRegStr $0 ${ROOT} "Software\Classes\CLSID\${FLASH_CLSID}\InprocServer32" ""
  ${If} $0 == "$INSTDIR\swfcontrol.dll"
    DeleteRegKey ${ROOT} "Software\Classes\CLSID\${FLASH_CLSID}"
    DeleteRegKey /ifempty ${ROOT} "Software\Classes\CLSID"
  ${EndIf}
!macroend

Section "Install"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${BIN_DIR}/${APP_EXE}"
  File "${BIN_DIR}/regular.ico"
  File "${BIN_DIR}/swfcontrol.dll"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; What an earlier installation into this folder did is kept: reinstalling
  ; must not forget that the stand-in is ours, nor claim a registration that
  ; someone else made.
  ReadRegDWORD $standIn HKCU "${UNINSTALL_KEY}" "StandInRegistered"
  ReadRegDWORD $classesCopy HKCU "${UNINSTALL_KEY}" "MachineClassesCopy"
  IntOp $standIn $standIn + 0
  IntOp $classesCopy $classesCopy + 0

  !insertmacro WriteScheme HKCU
  ReadRegStr $0 HKCR "${SCHEME}\shell\open\command" ""
  ${If} $0 != '"$INSTDIR\${APP_EXE}" "%1"'
    StrCpy $classesCopy 1
  ${EndIf}
  ${If} $classesCopy == 1
    !insertmacro WriteScheme HKLM
  ${EndIf}

  ; The stand-in only where no server is registered for the Flash CLSID, in
  ; the view COM uses (per-user and machine classes) or per user alone.
  ReadRegStr $0 HKCR "CLSID\${FLASH_CLSID}\InprocServer32" ""
  ${If} $0 == ""
    ReadRegStr $0 HKCU "Software\Classes\CLSID\${FLASH_CLSID}\InprocServer32" ""
  ${EndIf}
  ${If} $0 == ""
    StrCpy $standIn 1
  ${ElseIf} $0 != "$INSTDIR\swfcontrol.dll"
    StrCpy $standIn 0
  ${EndIf}
  ${If} $standIn == 1
    !insertmacro WriteStandIn HKCU
    ${If} $classesCopy == 1
      !insertmacro WriteStandIn HKLM
    ${EndIf}
  ${EndIf}

  ; The shortcut starts the player in its folder (the output path).
  CreateShortCut "${SHORTCUT}" "$INSTDIR\${APP_EXE}" "" "$INSTDIR\${APP_EXE}" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP_NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Quibbleton"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${APP_EXE},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "StandInRegistered" $standIn
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "MachineClassesCopy" $classesCopy
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ReadRegDWORD $standIn HKCU "${UNINSTALL_KEY}" "StandInRegistered"
  ReadRegDWORD $classesCopy HKCU "${UNINSTALL_KEY}" "MachineClassesCopy"

  ${If} $standIn == 1
    !insertmacro RemoveStandIn HKCU
    ${If} $classesCopy == 1
      !insertmacro RemoveStandIn HKLM
    ${EndIf}
  ${EndIf}
  !insertmacro RemoveScheme HKCU
  ${If} $classesCopy == 1
    !insertmacro RemoveScheme HKLM
  ${EndIf}

  Delete "${SHORTCUT}"
  Delete "$INSTDIR\${APP_EXE}"
  Delete "$INSTDIR\regular.ico"
  Delete "$INSTDIR\swfcontrol.dll"
  Delete "$INSTDIR\uninstall.exe"
  ; Folders only when empty: they may hold the user's own files. A profile
  ; without per-user programs had no Programs folder before this one.
  RMDir "$INSTDIR"
  RMDir "$LOCALAPPDATA\Programs"

  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Keys that a fresh profile lacks until something writes below them (Wine
  ; makes profiles without per-user classes); on Windows they are never empty.
  DeleteRegKey /ifempty HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall"
  DeleteRegKey /ifempty HKCU "Software\Classes"
SectionEnd
