{ A logger written in Object Pascal that drives MorvelRussia.dll the way a
  Delphi logger does: register-convention exports found by name, packed
  records of ShortStrings, its own ODBC connection to the log, the Delphi
  floating-point defaults ($1332 with three x87 exceptions unmasked, MXCSR
  $1900) and Pascal exception handling. Every check prints one line; the
  last line is "N passed, M failed" and the exit code is 0 only when every
  check passed.

    pascal-host.exe PLUGIN_DLL LOG_DB

  LOG_DB is the SQLite log file as the ODBC driver names it (under Wine the
  Linux path); it holds the contacts of log.sql. Plugins\Russiaobl.dom
  must be beside this program. }
program PascalHost;

{$mode delphi}
{$asmmode intel}
{$apptype console}

uses
  Windows, SysUtils, HostRecords, RegisterCalls, GuardedMemory, CheckReport, HostOdbc,
  MorvelPlugin;

const
  TableName = 'Log';
  CaptionPrefix = 'RZ3A';
  ExpectedCaption = 'RZ3A in Morvel Russia';
  IgnoredRunArgument = $12345678;
  LogRows = 7;
  CRLF = #13#10;
  Header = 'Band'#9'  QSOs'#9'Points'#9'   OBL'#9'  DXCC'#9;
  { log.sql: bands in the order the log's first contacts in call-sign order
    reach them; RA3DX 21 SSB twice (one duplicate), ra3dx another station. }
  StatisticsOfLog = Header + CRLF +
    '   7'#9'     2'#9'     2'#9'     1'#9'     2'#9 + CRLF +
    '  21'#9'     4'#9'     4'#9'     2'#9'     2'#9 + CRLF +
    'Total'#9'     6'#9'     6'#9'     3'#9'     4' + CRLF +
    ' Score: 6*(3+4)=42';
  { The log plus three contacts on 14 MHz: oblasts MA and KA, prefixes UA1
    (ua1 is the same key) and UA2. }
  StatisticsAfterAdds = Header + CRLF +
    '   7'#9'     2'#9'     2'#9'     1'#9'     2'#9 + CRLF +
    '  21'#9'     4'#9'     4'#9'     2'#9'     2'#9 + CRLF +
    '  14'#9'     3'#9'     3'#9'     2'#9'     2'#9 + CRLF +
    'Total'#9'     9'#9'     9'#9'     5'#9'     6' + CRLF +
    ' Score: 9*(5+6)=99';

var
  PluginPath, LogPath: string;
  Log: TLogConnection;
  MainWindow: HWND = 0;
  FormerWindow: HWND = 0;

{ --- the logger's side of each export --- }

procedure Put(const C: TContact; const Prefix: ShortString = CaptionPrefix);
begin
  SetContact(Log.Dbc, TableName, Prefix, C);
end;

function AddQSO(const C: TContact): Integer;
begin
  Put(C);
  Result := Integer(CallExport(exAddQSO, LongWord(QSO)));
end;

function GetScore(const C: TContact): Integer;
begin
  Put(C);
  Result := Integer(CallExport(exGetScore, LongWord(QSO)));
end;

{ The suggestion for C; raises when the export wrote any byte of its
  buffer past the ShortString's length byte and characters. }
function GrabNumber(const C: TContact): string;
var
  Number: PByte;
  I: Integer;
begin
  Put(C);
  Number := NumberBuffer^.Data;
  FillChar(Number^, NumberBuffer^.Size, $FF);
  CallExport(exGrabNumber, LongWord(QSO), LongWord(Number));
  for I := Number[0] + 1 to NumberBuffer^.Size - 1 do
    Expect(Number[I] = $FF, Format('_GrabNumber for %s wrote byte %d (%.2x) past its %d characters',
      [C.CallSign, I, Number[I], Number[0]]));
  Result := PShortString(Number)^;
end;

function Run(const Prefix: ShortString; const C: TContact): HWND;
begin
  Put(C, Prefix);
  Result := HWND(CallExport(exRun, IgnoredRunArgument, LongWord(QSO)));
  PumpMessages;
end;

procedure Release;
begin
  CallExport(exRelease);
end;

{ Pumps messages until Window is gone (its destruction is deferred to the
  handling of messages), for a second at most. }
procedure PumpUntilGone(Window: HWND);
var
  Round: Integer;
begin
  for Round := 1 to 100 do
  begin
    PumpMessages;
    if not IsWindow(Window) then
      Exit;
    Sleep(10);
  end;
end;

function WindowText(Window: HWND): string;
var
  Length: Integer;
begin
  Length := GetWindowTextLength(Window);
  SetLength(Result, Length + 1);
  Length := GetWindowText(Window, PChar(Result), Length + 1);
  SetLength(Result, Length);
end;

function FindMultiLineEdit(Window: HWND; Found: LPARAM): BOOL; stdcall;
var
  ClassName: array[0..63] of Char;
begin
  Result := True;
  if (GetClassName(Window, ClassName, Length(ClassName)) > 0) and
    SameText(ClassName, 'Edit') and (GetWindowLong(Window, GWL_STYLE) and ES_MULTILINE <> 0) then
  begin
    PHandle(Found)^ := Window;
    Result := False;
  end;
end;

{ The text of the main window's multi-line edit, as WM_GETTEXT gives it. }
function StatisticsText(Window: HWND): string;
var
  Edit: HWND;
begin
  Edit := 0;
  EnumChildWindows(Window, @FindMultiLineEdit, LPARAM(@Edit));
  Expect(Edit <> 0, 'the window has no multi-line edit');
  Result := WindowText(Edit);
end;

procedure ExpectWindow(Window: HWND);
begin
  Expect(Window <> 0, '_Run returned 0');
  Expect(IsWindow(Window), Format('_Run returned %.8x, which is no window', [Window]));
  Expect(IsWindowVisible(Window), 'the window is not visible');
  ExpectText('the caption', WindowText(Window), ExpectedCaption);
end;

{ --- the checks, in the order a logger's session goes --- }

var
  ProbeEax, ProbeEdx: LongWord;

{ Stands in for an export: notes the arguments' registers. }
procedure Probe; assembler; nostackframe;
asm
  mov [ProbeEax], eax
  mov [ProbeEdx], edx
  mov eax, 1
end;

{ As Probe, and answers the ShortString 'OK' into the buffer at EDX. }
procedure ProbeShortString; assembler; nostackframe;
asm
  mov [ProbeEax], eax
  mov [ProbeEdx], edx
  mov byte ptr [edx], 2
  mov byte ptr [edx + 1], 'O'
  mov byte ptr [edx + 2], 'K'
end;

procedure ExpectProbe(const Form: string; Eax, Edx: LongWord);
begin
  Expect((ProbeEax = Eax) and (ProbeEdx = Edx),
    Format('%s passed EAX %.8x EDX %.8x, expected %.8x %.8x', [Form, ProbeEax, ProbeEdx, Eax, Edx]));
end;

procedure ExpectProbeEax(const Form: string; Eax: LongWord);
begin
  Expect(ProbeEax = Eax, Format('%s passed EAX %.8x, expected %.8x', [Form, ProbeEax, Eax]));
end;

procedure CheckDeclarations;
var
  Data: LongWord;
  Number: PShortString;
  Answer: ShortString;
begin
  Data := LongWord(QSO);
  Number := PShortString(NumberBuffer^.Data);
  TGrabNumberProc(@Probe)(QSO, Number);
  ExpectProbe('TGrabNumberProc', Data, LongWord(Number));
  TGetScoreProc(@Probe)(QSO);
  ExpectProbeEax('TGetScoreProc', Data);
  TAddQSOProc(@Probe)(QSO);
  ExpectProbeEax('TAddQSOProc', Data);
  TRunProc(@Probe)(IgnoredRunArgument, QSO);
  ExpectProbe('TRunProc', IgnoredRunArgument, Data);
  TGetInfoProc(@Probe)(PPluginInfo(InfoBuffer^.Data));
  ExpectProbeEax('TGetInfoProc', LongWord(InfoBuffer^.Data));
  TGrabNumberVar(@Probe)(QSO^, Number^);
  ExpectProbe('TGrabNumberVar', Data, LongWord(Number));
  TGetScoreConst(@Probe)(QSO^);
  ExpectProbeEax('TGetScoreConst', Data);
  TAddQSOConst(@Probe)(QSO^);
  ExpectProbeEax('TAddQSOConst', Data);
  TRunConst(@Probe)(IgnoredRunArgument, QSO^);
  ExpectProbe('TRunConst', IgnoredRunArgument, Data);
  TGetInfoVar(@Probe)(PPluginInfo(InfoBuffer^.Data)^);
  ExpectProbeEax('TGetInfoVar', LongWord(InfoBuffer^.Data));
  Answer := TGrabNumberResult(@ProbeShortString)(QSO^);
  ExpectProbeEax('TGrabNumberResult', Data);
  ExpectText('TGrabNumberResult''s answer', Answer, 'OK');
end;

procedure CheckGetInfo;
var
  Info: PByte;
  Want: array[0..SizeOf(TPluginInfo) - 1] of Byte;
  I: Integer;
begin
  Info := InfoBuffer^.Data;
  FillChar(Info^, SizeOf(TPluginInfo), $FF);
  FillChar(Want, SizeOf(Want), $FF);
  PShortString(@Want[0])^ := 'Morvel Russia';
  PInteger(@Want[OffsetInfoWord1])^ := 1;
  PShortString(@Want[OffsetPluginTag])^ := 'tobrix_contest';
  PInteger(@Want[OffsetInfoWord2])^ := 1;
  CallExport(exGetInfo, LongWord(Info));
  for I := 0 to High(Want) do
    Expect(Info[I] = Want[I], Format('byte %d is %.2x, expected %.2x (bytes %d-%d: %s)',
      [I, Info[I], Want[I], I and not 7, (I and not 7) + 7, HexBytes(Info + (I and not 7), 8)]));
end;

procedure CheckBeforeRun;
var
  C: TContact;
begin
  C := Contact('UA3AAA', '14', 'CW', '599 MA', 'UA1', 'UA3A');
  ExpectInt('_AddQSO', AddQSO(C), 0);
  ExpectInt('_GetScore', GetScore(C), 0);
  ExpectText('_GrabNumber', GrabNumber(C), '');
end;

procedure CheckRun;
begin
  MainWindow := Run(CaptionPrefix, Contact('UA3AAA', '14', 'CW', '599 MA', 'UA1', 'UA3A'));
  ExpectWindow(MainWindow);
end;

procedure CheckStatisticsOfLog;
begin
  ExpectText('the statistics', StatisticsText(MainWindow), StatisticsOfLog);
end;

procedure CheckDuplicates;
begin
  ExpectInt('_AddQSO UA3AAA 14 CW', AddQSO(Contact('UA3AAA', '14', 'CW', '599 MA', 'UA1', 'UA3A')), 1);
  ExpectInt('_AddQSO UA3AAA 14 CW again', AddQSO(Contact('UA3AAA', '14', 'CW', '599 MA', 'UA1', 'UA3A')), -1);
  ExpectInt('_GetScore UA3AAA 14 CW', GetScore(Contact('UA3AAA', '14', 'CW')), -1);
  ExpectInt('_GetScore ua3aaa 14 CW', GetScore(Contact('ua3aaa', '14', 'CW')), 1);
  ExpectInt('_GetScore UA3AAA 14 cw', GetScore(Contact('UA3AAA', '14', 'cw')), 1);
  ExpectInt('_GetScore UA3AAA 14 SSB', GetScore(Contact('UA3AAA', '14', 'SSB')), 1);
  ExpectInt('_GetScore UA3AAA 21 CW', GetScore(Contact('UA3AAA', '21', 'CW')), 1);
  ExpectInt('_GetScore UA3AAA " 14" CW', GetScore(Contact('UA3AAA', ' 14', 'CW')), 1);
  ExpectInt('_GetScore RA3DX 21 SSB (in the log)', GetScore(Contact('RA3DX', '21', 'SSB')), -1);
  ExpectInt('_GetScore ra3dx 21 SSB (in the log)', GetScore(Contact('ra3dx', '21', 'SSB')), -1);
  ExpectInt('_GetScore ra3dx 21 CW', GetScore(Contact('ra3dx', '21', 'CW')), 1);
  ExpectInt('_AddQSO ua3aaa 14 CW', AddQSO(Contact('ua3aaa', '14', 'CW', '599 ma', 'ua1', 'UA3A')), 1);
  ExpectInt('_AddQSO UA3AAA 14 SSB', AddQSO(Contact('UA3AAA', '14', 'SSB', '59 KA', 'UA2', 'UA2F')), 1);
  ExpectInt('_AddQSO DL1XX 7 CW (in the log)', AddQSO(Contact('DL1XX', '7', 'CW', '599 001', 'DL', 'DL')), -1);
end;

procedure CheckStatisticsAfterAdds;
begin
  ExpectText('the statistics', StatisticsText(MainWindow), StatisticsAfterAdds);
end;

procedure CheckGrabNumber;
type
  TCase = record
    DXCCPrefix, MainPrefix, Oblast: ShortString;
  end;
const
  Cases: array[0..7] of TCase = (
    (DXCCPrefix: 'UA1'; MainPrefix: 'UA3A'; Oblast: 'MA'),
    (DXCCPrefix: 'UA1'; MainPrefix: 'UA1A'; Oblast: 'SP'),
    (DXCCPrefix: 'UA9'; MainPrefix: 'UA9A'; Oblast: 'CB'),
    (DXCCPrefix: ' ua2 '; MainPrefix: 'UA2F'; Oblast: 'KA'),
    (DXCCPrefix: 'DL'; MainPrefix: 'DL'; Oblast: ''),
    (DXCCPrefix: 'DL'; MainPrefix: 'UA3A'; Oblast: ''),
    (DXCCPrefix: 'UA'; MainPrefix: 'UA3A'; Oblast: ''),
    (DXCCPrefix: 'UA1'; MainPrefix: 'UA3'; Oblast: ''));
var
  C: TCase;
begin
  for C in Cases do
    ExpectText(Format('_GrabNumber for DXCC prefix "%s", main prefix "%s"', [C.DXCCPrefix, C.MainPrefix]),
      GrabNumber(Contact('XX1X', '14', 'CW', '', C.DXCCPrefix, C.MainPrefix)), C.Oblast);
end;

procedure CheckSecondRun;
var
  Again: HWND;
begin
  Again := Run('UA9XX', Contact('UA9ABC', '7', 'SSB', '59 CB', 'UA9', 'UA9A'));
  Expect(Again = MainWindow, Format('the second _Run returned %.8x, the first %.8x', [Again, MainWindow]));
  ExpectWindow(Again);
  ExpectText('the statistics', StatisticsText(Again), StatisticsAfterAdds);
end;

procedure CheckRelease;
begin
  Release;
  PumpUntilGone(MainWindow);
  Expect(not IsWindow(MainWindow), 'the window is still there after _Release and the message pump');
  ExpectInt('_GetScore', GetScore(Contact('UA3AAA', '14', 'CW')), 0);
  ExpectInt('_AddQSO', AddQSO(Contact('UA3AAA', '14', 'CW')), 0);
  ExpectText('_GrabNumber', GrabNumber(Contact('UA3AAA', '14', 'CW', '', 'UA1', 'UA3A')), '');
  Release;
  PumpMessages;
  FormerWindow := MainWindow;
  MainWindow := 0;
end;

procedure CheckRunAgain;
begin
  MainWindow := Run(CaptionPrefix, Contact('UA3AAA', '14', 'CW', '599 MA', 'UA1', 'UA3A'));
  ExpectWindow(MainWindow);
  Expect(MainWindow <> FormerWindow, 'the new window has the released window''s handle');
  Expect(not IsWindow(FormerWindow), 'the released window came back');
  ExpectText('the statistics', StatisticsText(MainWindow), StatisticsOfLog);
end;

procedure CheckPascalParameters;
var
  Number: PShortString;
  Answer: ShortString;
  Info: PPluginInfo;
  Again: HWND;
begin
  Put(Contact('RA3DX', '21', 'SSB', '59 MA', 'UA1', 'RA3D'));
  ExpectInt('TGetScoreConst RA3DX 21 SSB', TGetScoreConst(Plugin.Addresses[exGetScore])(QSO^), -1);
  NoteDirectCall(exGetScore);
  ExpectInt('TGetScoreProc RA3DX 21 SSB', Plugin.GetScore(QSO), -1);
  NoteDirectCall(exGetScore);

  Put(Contact('UA9ACA', '7', 'SSB', '59 CB', 'UA9', 'UA9A'));
  ExpectInt('TGetScoreConst UA9ACA 7 SSB', TGetScoreConst(Plugin.Addresses[exGetScore])(QSO^), 1);
  NoteDirectCall(exGetScore);
  ExpectInt('TAddQSOConst UA9ACA 7 SSB', TAddQSOConst(Plugin.Addresses[exAddQSO])(QSO^), 1);
  NoteDirectCall(exAddQSO);
  ExpectInt('TAddQSOProc UA9ACA 7 SSB again', Plugin.AddQSO(QSO), -1);
  NoteDirectCall(exAddQSO);

  Number := PShortString(NumberBuffer^.Data);
  FillChar(Number^, SizeOf(ShortString), $FF);
  TGrabNumberVar(Plugin.Addresses[exGrabNumber])(QSO^, Number^);
  NoteDirectCall(exGrabNumber);
  ExpectText('TGrabNumberVar UA9A', Number^, 'CB');
  Answer := TGrabNumberResult(Plugin.Addresses[exGrabNumber])(QSO^);
  NoteDirectCall(exGrabNumber);
  ExpectText('TGrabNumberResult UA9A', Answer, 'CB');

  Again := TRunConst(Plugin.Addresses[exRun])(IgnoredRunArgument, QSO^);
  NoteDirectCall(exRun);
  Expect(Again = MainWindow, Format('TRunConst returned %.8x, expected %.8x', [Again, MainWindow]));

  Info := PPluginInfo(InfoBuffer^.Data);
  FillChar(Info^, SizeOf(TPluginInfo), 0);
  TGetInfoVar(Plugin.Addresses[exGetInfo])(Info^);
  NoteDirectCall(exGetInfo);
  ExpectText('TGetInfoVar ContestName', Info^.ContestName, 'Morvel Russia');
  ExpectInt('TGetInfoVar InfoWord1', Info^.InfoWord1, 1);
  ExpectText('TGetInfoVar PluginTag', Info^.PluginTag, 'tobrix_contest');
  ExpectInt('TGetInfoVar InfoWord2', Info^.InfoWord2, 1);
  PumpMessages;
end;

procedure CheckUnload;
begin
  Release;
  PumpUntilGone(MainWindow);
  Expect(not IsWindow(MainWindow), 'the window is still there after _Release and the message pump');
  Expect(FreeLibrary(Plugin.Module), 'FreeLibrary failed: ' + SysErrorMessage(GetLastError));
  Plugin.Module := 0;
  { Nothing of the plug-in may be left to receive these: no window, timer
    or hook whose code was unloaded. }
  PostMessage(0, WM_NULL, 0, 0);
  PumpMessages;
end;

procedure CheckConnection;
begin
  ExpectInt('SELECT COUNT(*) FROM Log', QueryInteger(Log, 'SELECT COUNT(*) FROM Log'), LogRows);
end;

procedure StartLikeDelphi;
var
  State: TFpuState;
begin
  Set8087CW($1332);
  SetMXCSR($1900);
  State.ControlWord := Get8087CW;
  State.StatusWord := 0;
  State.TagWord := EmptyTagWord;
  State.Mxcsr := GetMXCSR;
  SetFpuBaseline(State);
  ResetFpu;
  WriteLn(Format('# x87 control word %.4x, MXCSR %.8x', [State.ControlWord, State.Mxcsr]));
end;

procedure Main;
begin
  if ParamCount <> 2 then
  begin
    WriteLn(ErrOutput, 'usage: pascal-host PLUGIN_DLL LOG_DB');
    Halt(2);
  end;
  PluginPath := ParamStr(1);
  LogPath := ParamStr(2);
  StartLikeDelphi;
  MakeBuffers;
  try
    Log := OpenLog(LogPath);
  except
    on E: Exception do
    begin
      Fail('the logger''s ODBC connection to ' + LogPath, E.Message);
      Halt(Summary);
    end;
  end;
  try
    LoadPlugin(PluginPath);
  except
    on E: Exception do
    begin
      Fail('LoadLibrary and GetProcAddress find the six exports', E.Message);
      Halt(Summary);
    end;
  end;
  Pass('LoadLibrary and GetProcAddress find the six exports');
  Check('the Pascal declarations pass pointers, const and var records and a ShortString ' +
    'result in EAX and EDX', CheckDeclarations);
  Check('_GetInfo writes its two strings and two integers and no other byte', CheckGetInfo);
  Check('before _Run, _AddQSO and _GetScore answer 0 and _GrabNumber an empty string',
    CheckBeforeRun);
  Check('_Run shows a window captioned "' + ExpectedCaption + '"', CheckRun);
  Check('the statistics text after _Run counts the log', CheckStatisticsOfLog);
  Check('duplicates: 1 for a new contact, -1 for the same call, band and mode ' +
    '(case-sensitive), contacts of the log included', CheckDuplicates);
  Check('the statistics text follows _AddQSO', CheckStatisticsAfterAdds);
  Check('_GrabNumber answers the oblast of Plugins\Russiaobl.dom as a ShortString ' +
    '(UA3A MA, UA1A SP, UA9A CB, UA2F KA; empty otherwise)', CheckGrabNumber);
  Check('a second _Run returns the same window and ignores its record', CheckSecondRun);
  Check('_Release: the window goes at the next message pump, the exports answer 0 and a ' +
    'second _Release does nothing', CheckRelease);
  Check('_Run after _Release makes a new window that counts the log again', CheckRunAgain);
  Check('the exports called with const and var records and a ShortString result',
    CheckPascalParameters);
  Check('_Release, the message pump and FreeLibrary leave nothing that receives messages',
    CheckUnload);
  Check('the logger''s connection works on after the plug-in is gone; the log still has ' +
    IntToStr(LogRows) + ' rows', CheckConnection);
  ReportBoundary;
  CloseLog(Log);
  Halt(Summary);
end;

begin
  Main;
end.
