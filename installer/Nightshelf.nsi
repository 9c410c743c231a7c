; Nightshelf's installer. Built by installer/build, which defines VERSION
; (x.y.z), BIN32 and BIN64 (the folders of the x86 and x64 Nightshelf.exe) and
; OUTFILE.
;
; The platform's COM connector is an in-process server, so the program must
; have the bitness of the connector that is registered: the installer looks
; the connector up in both registry views and installs the matching build.
;
; Switches for deployment tools, besides /S and /D=folder:
;   /NOSCHEDULE  no daily task in the Task Scheduler
;   /X86         the 32-bit program where the 64-bit one would be chosen
;   /FORCE       install even though no platform is registered

; A Unicode installer: the task definition handed to the Task Scheduler is
; UTF-16 and holds the user's name, often Cyrillic, which an ANSI installer
; cannot write; its Russian texts read the same under any code page.
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include x64.nsh
!include nsDialogs.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Nightshelf"
!define SCHEDULED_TASK "Nightshelf"
; The event source of the runs' outcomes in the Application log.
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Nightshelf"

Name "Nightshelf"
OutFile "${OUTFILE}"
BrandingText "Nightshelf ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1049 "ProductName" "Nightshelf"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка Nightshelf"
VIAddVersionKey /LANG=1049 "LegalCopyright" "Nightshelf"

Var Bitness        ; 32 or 64: the build that is installed
Var AskBitness     ; 1 when the administrator chooses on a page
Var Has32          ; 1 when a 32-bit connector is registered
Var Has64          ; 1 when a 64-bit connector is registered
Var FolderGiven    ; 1 when /D named the folder: bitness no longer moves it
Var Radio64
Var Radio32

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
Page custom BitnessPage BitnessPageLeave
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

LangString NoPlatform ${LANG_RUSSIAN} "Nightshelf работает только вместе с платформой 1С:Предприятие 8.2 или 8.3, а её COM-соединитель на этом компьютере не зарегистрирован.$\r$\n$\r$\nУстановите сначала платформу. Установить Nightshelf всё равно?"
LangString BitnessTitle ${LANG_RUSSIAN} "Разрядность программы"
LangString BitnessSubtitle ${LANG_RUSSIAN} "Разрядность Nightshelf должна совпадать с разрядностью платформы 1С:Предприятие."
LangString BitnessBoth ${LANG_RUSSIAN} "На компьютере зарегистрированы 64-разрядная и 32-разрядная платформы. Nightshelf будет работать с платформой той же разрядности."
LangString BitnessNone ${LANG_RUSSIAN} "Платформа 1С:Предприятие не найдена. Выберите разрядность платформы, которую вы установите."
LangString Bitness64 ${LANG_RUSSIAN} "64-разрядная"
LangString Bitness32 ${LANG_RUSSIAN} "32-разрядная"
LangString RemovingPrevious ${LANG_RUSSIAN} "Удаление предыдущей установки из $0"
LangString ScheduleFailed ${LANG_RUSSIAN} "Не удалось создать задание планировщика «${SCHEDULED_TASK}» (код $0). Создайте его вручную, как описано в README."
LangString ScheduleDescription ${LANG_RUSSIAN} "Резервное копирование всех заданий Nightshelf"

; --- bitness ----------------------------------------------------------------

; ${FLAG} = 1 when the COM connector of ProgID is registered in registry
; view VIEW: its ProgID names a class whose InprocServer32 is there. Class
; keys are kept apart by view, which tells the bitness; the ProgID is one key
; for both views on Windows, but Wine keeps one per view, so the other view's
; is taken when the view has none.
!macro ConnectorIn VIEW OTHER PROGID FLAG
  StrCpy $1 ""
  ${If} ${RunningX64}
    SetRegView ${OTHER}
    ReadRegStr $1 HKCR "${PROGID}\CLSID" ""
  ${EndIf}
  SetRegView ${VIEW}
  ReadRegStr $2 HKCR "${PROGID}\CLSID" ""
  ${If} $2 == ""
    StrCpy $2 $1
  ${EndIf}
  ${If} $2 != ""
    ReadRegStr $2 HKCR "CLSID\$2\InprocServer32" ""
    ${If} $2 != ""
      StrCpy ${FLAG} 1
    ${EndIf}
  ${EndIf}
!macroend

Function FindConnectors
  StrCpy $Has32 0
  StrCpy $Has64 0
  ${If} ${RunningX64}
    !insertmacro ConnectorIn 64 32 "V82.COMConnector" $Has64
    !insertmacro ConnectorIn 64 32 "V83.COMConnector" $Has64
  ${EndIf}
  !insertmacro ConnectorIn 32 64 "V82.COMConnector" $Has32
  !insertmacro ConnectorIn 32 64 "V83.COMConnector" $Has32
FunctionEnd

Function DefaultFolder
  ${If} $FolderGiven != 1
    ${If} $Bitness == 64
      StrCpy $INSTDIR "$PROGRAMFILES64\Nightshelf"
    ${ElseIf} ${RunningX64}
      ; Taken from the environment rather than $PROGRAMFILES32, which names
      ; the 64-bit folder when this script is built for x64.
      ReadEnvStr $0 "ProgramFiles(x86)"
      StrCpy $INSTDIR "$0\Nightshelf"
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES\Nightshelf"
    ${EndIf}
  ${EndIf}
FunctionEnd

Function BitnessPage
  ${If} $AskBitness != 1
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "$(BitnessTitle)" "$(BitnessSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${If} $Has32 == 1
    ${NSD_CreateLabel} 0 0 100% 36u "$(BitnessBoth)"
  ${Else}
    ${NSD_CreateLabel} 0 0 100% 36u "$(BitnessNone)"
  ${EndIf}
  Pop $0
  ${NSD_CreateRadioButton} 10u 44u 100% 12u "$(Bitness64)"
  Pop $Radio64
  ${NSD_CreateRadioButton} 10u 60u 100% 12u "$(Bitness32)"
  Pop $Radio32
  ${If} $Bitness == 64
    ${NSD_Check} $Radio64
  ${Else}
    ${NSD_Check} $Radio32
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function BitnessPageLeave
  ${NSD_GetState} $Radio64 $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $Bitness 64
  ${Else}
    StrCpy $Bitness 32
  ${EndIf}
  Call DefaultFolder
FunctionEnd

; --- installation -----------------------------------------------------------

; A copy of the other bitness (or in another folder) would keep its own
; uninstall entry and an outdated scheduled task: it goes first.
Function RemovePreviousInstallation
  SetRegView 32
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 != $INSTDIR
  ${AndIf} ${FileExists} "$0\Uninstall.exe"
    DetailPrint "$(RemovingPrevious)"
    ExecWait '"$0\Uninstall.exe" /S _?=$0'
    Delete "$0\Uninstall.exe"
    RMDir "$0"
  ${EndIf}
FunctionEnd

Section "Nightshelf" SecProgram
  SectionIn RO
  Call RemovePreviousInstallation

  SetOutPath "$INSTDIR"
  ${If} $Bitness == 64
    File "/oname=Nightshelf.exe" "${BIN64}/Nightshelf.exe"
  ${Else}
    File "/oname=Nightshelf.exe" "${BIN32}/Nightshelf.exe"
  ${EndIf}
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\Nightshelf.lnk" "$INSTDIR\Nightshelf.exe"

  ; One entry in one view whatever the bitness, so that a later installation
  ; finds it.
  SetRegView 32
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Nightshelf"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Nightshelf.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; The program writes each run's outcome under this source whether or not
  ; it is registered; registered, Event Viewer finds the events' texts in the
  ; program's message table. 7: errors, warnings and information.
  WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\Nightshelf.exe"
  WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7
SectionEnd

; Text for an XML element: "&" is the one character of a path or a user
; name that XML does not take as it is.
!macro XmlText OUT IN
  ${WordReplace} "${IN}" "&" "&amp;" "+" ${OUT}
!macroend

; The task definition stays beside the program: the administrator can
; register it again with schtasks /Create /XML. It runs under the installing
; user, whose registry holds the tasks, and only while that user is logged
; on, which needs no stored password.
Function WriteScheduleDefinition
  ReadEnvStr $1 USERNAME
  ReadEnvStr $2 USERDOMAIN
  ${If} $2 != ""
    StrCpy $1 "$2\$1"
  ${EndIf}
  !insertmacro XmlText $1 $1
  !insertmacro XmlText $2 "$INSTDIR"
  FileOpen $0 "$INSTDIR\schedule.xml" w
  FileWriteUTF16LE /BOM $0 '<?xml version="1.0" encoding="UTF-16"?>$\r$\n'
  FileWriteUTF16LE $0 '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">$\r$\n'
  FileWriteUTF16LE $0 '  <RegistrationInfo>$\r$\n'
  FileWriteUTF16LE $0 '    <Author>$1</Author>$\r$\n'
  FileWriteUTF16LE $0 '    <Description>$(ScheduleDescription)</Description>$\r$\n'
  FileWriteUTF16LE $0 '  </RegistrationInfo>$\r$\n'
  FileWriteUTF16LE $0 '  <Triggers>$\r$\n'
  FileWriteUTF16LE $0 '    <CalendarTrigger>$\r$\n'
  FileWriteUTF16LE $0 '      <StartBoundary>2020-01-01T02:00:00</StartBoundary>$\r$\n'
  FileWriteUTF16LE $0 '      <ScheduleByDay>$\r$\n'
  FileWriteUTF16LE $0 '        <DaysInterval>1</DaysInterval>$\r$\n'
  FileWriteUTF16LE $0 '      </ScheduleByDay>$\r$\n'
  FileWriteUTF16LE $0 '    </CalendarTrigger>$\r$\n'
  FileWriteUTF16LE $0 '  </Triggers>$\r$\n'
  FileWriteUTF16LE $0 '  <Principals>$\r$\n'
  FileWriteUTF16LE $0 '    <Principal id="Author">$\r$\n'
  FileWriteUTF16LE $0 '      <UserId>$1</UserId>$\r$\n'
  FileWriteUTF16LE $0 '      <LogonType>InteractiveToken</LogonType>$\r$\n'
  FileWriteUTF16LE $0 '      <RunLevel>LeastPrivilege</RunLevel>$\r$\n'
  FileWriteUTF16LE $0 '    </Principal>$\r$\n'
  FileWriteUTF16LE $0 '  </Principals>$\r$\n'
  ; A night missed while the computer was off is run when it is back; a
  ; server on a UPS still runs its backups on battery power.
  ; A start while the previous one still lives (a long night, a window the
  ; administrator opened on it) must not be skipped: it runs beside it, hands
  ; its tasks to the running Nightshelf and ends. No time limit: the
  ; scheduler would end a window left open, and a dump under way with it;
  ; the designer's own time limit bounds a run.
  FileWriteUTF16LE $0 '  <Settings>$\r$\n'
  FileWriteUTF16LE $0 '    <StartWhenAvailable>true</StartWhenAvailable>$\r$\n'
  FileWriteUTF16LE $0 '    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>$\r$\n'
  FileWriteUTF16LE $0 '    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>$\r$\n'
  FileWriteUTF16LE $0 '    <MultipleInstancesPolicy>Parallel</MultipleInstancesPolicy>$\r$\n'
  FileWriteUTF16LE $0 '    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>$\r$\n'
  FileWriteUTF16LE $0 '  </Settings>$\r$\n'
  FileWriteUTF16LE $0 '  <Actions Context="Author">$\r$\n'
  FileWriteUTF16LE $0 '    <Exec>$\r$\n'
  FileWriteUTF16LE $0 '      <Command>"$2\Nightshelf.exe"</Command>$\r$\n'
  FileWriteUTF16LE $0 '      <Arguments>*</Arguments>$\r$\n'
  FileWriteUTF16LE $0 '      <WorkingDirectory>$2</WorkingDirectory>$\r$\n'
  FileWriteUTF16LE $0 '    </Exec>$\r$\n'
  FileWriteUTF16LE $0 '  </Actions>$\r$\n'
  FileWriteUTF16LE $0 '</Task>$\r$\n'
  FileClose $0
FunctionEnd

Section "Ежедневный запуск всех заданий в 02:00" SecSchedule
  Call WriteScheduleDefinition
  nsExec::Exec '"$SYSDIR\schtasks.exe" /Create /TN "${SCHEDULED_TASK}" /XML "$INSTDIR\schedule.xml" /F'
  Pop $0
  ${If} $0 != 0
    DetailPrint "$(ScheduleFailed)"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(ScheduleFailed)" /SD IDOK
  ${EndIf}
SectionEnd

; --- start ---------------------------------------------------------------

; Runs after the sections so that it can name them.
Function .onInit
  ${If} $INSTDIR != ""
    StrCpy $FolderGiven 1
  ${EndIf}
  ${GetParameters} $R0

  ClearErrors
  ${GetOptions} $R0 "/NOSCHEDULE" $R1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecSchedule} 0
  ${EndIf}

  Call FindConnectors
  ${If} $Has64 == 1
    StrCpy $Bitness 64
    StrCpy $AskBitness $Has32
  ${ElseIf} $Has32 == 1
    StrCpy $Bitness 32
  ${Else}
    ClearErrors
    ${GetOptions} $R0 "/FORCE" $R1
    ${If} ${Errors}
      MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$(NoPlatform)" /SD IDNO IDYES insist
      Abort
      insist:
    ${EndIf}
    ${If} ${RunningX64}
      StrCpy $Bitness 64
      StrCpy $AskBitness 1
    ${Else}
      StrCpy $Bitness 32
    ${EndIf}
  ${EndIf}

  ClearErrors
  ${GetOptions} $R0 "/X86" $R1
  ${IfNot} ${Errors}
  ${AndIf} $AskBitness == 1
    StrCpy $Bitness 32
  ${EndIf}
  Call DefaultFolder
FunctionEnd

; --- uninstallation ---------------------------------------------------------

; Only what the installer put down goes: the tasks in the registry, their
; outcome and every archive stay, and the folder itself only when empty (an
; archive folder may have been made inside it). The events already written
; stay in the log; without the source they show their strings only.
Section "Uninstall"
  nsExec::Exec '"$SYSDIR\schtasks.exe" /Delete /TN "${SCHEDULED_TASK}" /F'
  Pop $0
  Delete "$INSTDIR\Nightshelf.exe"
  Delete "$INSTDIR\schedule.xml"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\Nightshelf.lnk"

  SetRegView 32
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
SectionEnd
