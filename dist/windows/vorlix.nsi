; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows installer: Vorlix.exe for all users or only the current one,
; a Start Menu entry, a Send To entry (files selected in Explorer and sent to
; Vorlix land in one queue), the Explorer verb "Wipe with Vorlix" on files and
; folders, and an uninstaller listed in Apps that removes all of it. Built by `make windows-installer`:
;   makensis -INPUTCHARSET UTF8 -DEXE=<Vorlix.exe> -DCLI=<vorlix-wipe.exe> -DLOCALE=<locale folder> -DOUTFILE=<setup.exe> -DLICENSE=<COPYING> dist/windows/vorlix.nsi
; It asks for its language (English, German, French, Spanish) and speaks it;
; the program itself follows the user's Windows language.
; Silent: setup.exe /S [/AllUsers | /CurrentUser]; Uninstall.exe /S.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define VERSION 1.0.0
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorlix"
!define SETTINGS_KEY "Software\Vorlix"
; The verb's keys, under HKCU or HKLM as the install mode says.
!define FILE_VERB_KEY "Software\Classes\*\shell\VorlixWipe"
!define FOLDER_VERB_KEY "Software\Classes\Directory\shell\VorlixWipe"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "Vorlix"
; The uninstaller finds the mode the program was installed in here.
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${SETTINGS_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!include MultiUser.nsh
!include MUI2.nsh
!include x64.nsh
!include LogicLib.nsh

Name "Vorlix"
OutFile "${OUTFILE}"
BrandingText "Vorlix ${VERSION}"

VIProductVersion 1.0.0.0
VIAddVersionKey /LANG=1033 ProductName "Vorlix"
VIAddVersionKey /LANG=1033 FileDescription "Vorlix Setup"
VIAddVersionKey /LANG=1033 FileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 ProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 LegalCopyright "Copyright (C) 2026 The Vorlix developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The uninstaller speaks the language the installer was run in.
!define MUI_LANGDLL_REGISTRY_ROOT HKCU
!define MUI_LANGDLL_REGISTRY_KEY "${SETTINGS_KEY}"
!define MUI_LANGDLL_REGISTRY_VALUENAME "InstallerLanguage"
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_RESERVEFILE_LANGDLL

; The Explorer verb, in the language chosen for the installation.
LangString VERB_NAME ${LANG_ENGLISH} "Wipe with Vorlix"
LangString VERB_NAME ${LANG_GERMAN} "Mit Vorlix sicher löschen"
LangString VERB_NAME ${LANG_FRENCH} "Effacer définitivement avec Vorlix"
LangString VERB_NAME ${LANG_SPANISH} "Borrar de forma segura con Vorlix"

Function .onInit
    SetRegView 64
    ; A silent installation takes the system's language without asking.
    ${IfNot} ${Silent}
        !insertmacro MUI_LANGDLL_DISPLAY
    ${EndIf}
    !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
    SetRegView 64
    !insertmacro MUI_UNGETLANGUAGE
    !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Vorlix"
    SetOutPath "$INSTDIR"
    File "/oname=Vorlix.exe" "${EXE}"
    File "/oname=vorlix-wipe.exe" "${CLI}"
    File "/oname=README.txt" "${README}"
    ; The catalogs of translations: locale\<lang>\LC_MESSAGES\vorlix.mo beside the program.
    File /r "${LOCALE}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    CreateShortcut "$SMPROGRAMS\Vorlix.lnk" "$INSTDIR\Vorlix.exe"
    ; Send To is the installing user's own folder in either mode.
    CreateShortcut "$SENDTO\Vorlix.lnk" "$INSTDIR\Vorlix.exe"

    ; Player: the verb shows for large selections too (Explorer passes each
    ; item to its own start, and the running window collects them all).
    ; --walk: a folder stands for the files in it.
    !macro VERB KEY
        WriteRegStr SHCTX "${KEY}" "" "$(VERB_NAME)"
        WriteRegStr SHCTX "${KEY}" "MUIVerb" "$(VERB_NAME)"
        WriteRegStr SHCTX "${KEY}" "Icon" "$INSTDIR\Vorlix.exe"
        WriteRegStr SHCTX "${KEY}" "MultiSelectModel" "Player"
        WriteRegStr SHCTX "${KEY}\command" "" '"$INSTDIR\Vorlix.exe" --walk "%1"'
    !macroend
    !insertmacro VERB "${FILE_VERB_KEY}"
    !insertmacro VERB "${FOLDER_VERB_KEY}"
    ; Explorer reads the verbs again without a new session.
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

    WriteRegStr SHCTX "${SETTINGS_KEY}" "InstallMode" "$MultiUser.InstallMode"
    WriteRegStr SHCTX "${SETTINGS_KEY}" "SendTo" "$SENDTO\Vorlix.lnk"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Vorlix"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "The Vorlix developers"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Vorlix.exe"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe" /$MultiUser.InstallMode'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /$MultiUser.InstallMode /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" 8000
SectionEnd

Section "Uninstall"
    ; The Send To entry of the user who installed, wherever it was.
    ReadRegStr $0 SHCTX "${SETTINGS_KEY}" "SendTo"
    StrCmp $0 "" +2
    Delete "$0"
    Delete "$SENDTO\Vorlix.lnk"
    Delete "$SMPROGRAMS\Vorlix.lnk"
    Delete "$INSTDIR\Vorlix.exe"
    Delete "$INSTDIR\vorlix-wipe.exe"
    Delete "$INSTDIR\README.txt"
    RMDir /r "$INSTDIR\locale"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey SHCTX "${FILE_VERB_KEY}"
    DeleteRegKey SHCTX "${FOLDER_VERB_KEY}"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    DeleteRegKey SHCTX "${SETTINGS_KEY}"
    DeleteRegValue HKCU "${SETTINGS_KEY}" "InstallerLanguage"
    DeleteRegKey /ifempty HKCU "${SETTINGS_KEY}"
SectionEnd
