{ The plug-in's six exports as a Delphi logger declares and calls them, and
  the account of what every call left behind: registers, stack, direction
  flag, floating-point state, the logger's record. }
unit MorvelPlugin;

{$mode delphi}

interface

uses
  Windows, HostRecords, RegisterCalls, GuardedMemory;

type
  TGrabNumberProc = procedure(Data: PQSOData; Number: PShortString); register;
  TReleaseProc = procedure; register;
  TGetScoreProc = function(Data: PQSOData): Integer; register;
  TAddQSOProc = function(Data: PQSOData): Integer; register;
  TRunProc = function(Ignored: Integer; Data: PQSOData): HWND; register;
  TGetInfoProc = procedure(Info: PPluginInfo); register;

  { The same exports with the parameters a Pascal programmer writes: a const
    record or a var parameter arrives as the address in the same register
    as the pointer above, and a ShortString result's address comes after
    the declared parameters, where _GrabNumber expects its buffer. }
  TGrabNumberVar = procedure(const Data: TQSOData; var Number: ShortString); register;
  TGrabNumberResult = function(const Data: TQSOData): ShortString; register;
  TGetScoreConst = function(const Data: TQSOData): Integer; register;
  TAddQSOConst = function(const Data: TQSOData): Integer; register;
  TRunConst = function(Ignored: Integer; const Data: TQSOData): HWND; register;
  TGetInfoVar = procedure(var Info: TPluginInfo); register;

  TExport = (exGrabNumber, exRelease, exGetScore, exAddQSO, exRun, exGetInfo);

  TPlugin = record
    Module: HMODULE;
    GrabNumber: TGrabNumberProc;
    Release: TReleaseProc;
    GetScore: TGetScoreProc;
    AddQSO: TAddQSOProc;
    Run: TRunProc;
    GetInfo: TGetInfoProc;
    Addresses: array[TExport] of Pointer;
  end;

const
  ExportNames: array[TExport] of string = ('_GrabNumber', '_Release', '_GetScore',
    '_AddQSO', '_Run', '_GetInfo');

var
  Plugin: TPlugin;
  { The logger's contact record, read-only and right before an
    inaccessible page; the buffers the plug-in writes, likewise guarded. }
  QSORecord: PGuardedBuffer;
  InfoBuffer: PGuardedBuffer;
  NumberBuffer: PGuardedBuffer;

{ Loads the DLL and finds the six exports by name; raises when one is
  missing. }
procedure LoadPlugin(const Path: string);

procedure MakeBuffers;
function QSO: PQSOData;

{ Fills the read-only record with a contact (see FillRecord). }
procedure SetContact(Connection: Pointer; const TableName, CaptionPrefix: ShortString;
  const C: TContact);

{ Calls an export from the register thunk with the stack misaligned, then
  books what the call left; raises when the export raised. }
function CallExport(E: TExport; Eax: LongWord = 0; Edx: LongWord = 0): LongWord;

{ Books the floating-point state after a call the compiler made itself. }
procedure NoteDirectCall(E: TExport);

{ Handles every pending message of the thread, then books the
  floating-point state the window procedures left. }
procedure PumpMessages;

{ One line per export (registers; floating-point state), one for the
  message pump and two for the logger's memory, for what has not failed
  already: a failure is reported at once, when it is first seen. }
procedure ReportBoundary;

implementation

uses
  SysUtils, CheckReport;

type
  TBoundaryAccount = record
    Calls: Integer;
    RegisterFault: string;
    FpuFault: string;
  end;

var
  Accounts: array[TExport] of TBoundaryAccount;
  Pumps: Integer = 0;
  PumpFault: string = '';
  RecordCalls: Integer = 0;
  RecordFault: string = '';
  OverreadFault: string = '';
  RecordCopy: TQSOData;

function RegisterCheckName(E: TExport): string;
begin
  Result := 'registers, stack pointer and direction flag kept by ' + ExportNames[E];
end;

function FpuCheckName(E: TExport): string;
begin
  Result := 'x87 control, status and tag words and MXCSR kept by ' + ExportNames[E];
end;

const
  PumpCheckName = 'x87 control, status and tag words and MXCSR kept by the message pump';
  RecordCheckName = 'the logger''s record never written';
  OverreadCheckName = 'nothing read past the end of the record or written past a buffer';

procedure LoadPlugin(const Path: string);
var
  E: TExport;
begin
  Plugin.Module := LoadLibrary(PChar(Path));
  if Plugin.Module = 0 then
    raise Exception.CreateFmt('LoadLibrary(%s) failed: %s', [Path, SysErrorMessage(GetLastError)]);
  for E := Low(TExport) to High(TExport) do
  begin
    Plugin.Addresses[E] := GetProcAddress(Plugin.Module, PChar(ExportNames[E]));
    if Plugin.Addresses[E] = nil then
      raise Exception.CreateFmt('%s has no export %s', [Path, ExportNames[E]]);
  end;
  Plugin.GrabNumber := TGrabNumberProc(Plugin.Addresses[exGrabNumber]);
  Plugin.Release := TReleaseProc(Plugin.Addresses[exRelease]);
  Plugin.GetScore := TGetScoreProc(Plugin.Addresses[exGetScore]);
  Plugin.AddQSO := TAddQSOProc(Plugin.Addresses[exAddQSO]);
  Plugin.Run := TRunProc(Plugin.Addresses[exRun]);
  Plugin.GetInfo := TGetInfoProc(Plugin.Addresses[exGetInfo]);
end;

procedure MakeBuffers;
begin
  QSORecord := NewGuardedBuffer('Record', SizeOf(TQSOData));
  InfoBuffer := NewGuardedBuffer('Info', SizeOf(TPluginInfo));
  NumberBuffer := NewGuardedBuffer('Number', SizeOf(ShortString));
  SetReadOnly(QSORecord, True);
  WatchAccessViolations;
end;

function QSO: PQSOData;
begin
  Result := PQSOData(QSORecord^.Data);
end;

procedure SetContact(Connection: Pointer; const TableName, CaptionPrefix: ShortString;
  const C: TContact);
begin
  SetReadOnly(QSORecord, False);
  FillRecord(QSO^, Connection, TableName, CaptionPrefix, C);
  RecordCopy := QSO^;
  SetReadOnly(QSORecord, True);
  { A call the compiler makes next starts from the baseline, whatever the
    system calls above did to the floating-point state. }
  ResetFpu;
end;

{ Reads the guarded buffers' access violations and the record's bytes after
  a call; reports each kind of fault the first time. }
procedure NoteMemory(const CallName: string; UsesRecord: Boolean);
var
  Violations: string;
begin
  Violations := TakeAccessViolations;
  if UsesRecord then
    Inc(RecordCalls);
  if (Violations <> '') and (OverreadFault = '') and (Pos('past the end', Violations) > 0) then
  begin
    OverreadFault := CallName + ': ' + Violations;
    Fail(OverreadCheckName, OverreadFault);
  end;
  if RecordFault <> '' then
    Exit;
  if Pos('write at Record', Violations) > 0 then
    RecordFault := CallName + ': ' + Violations
  else if UsesRecord and not CompareMem(QSO, @RecordCopy, SizeOf(TQSOData)) then
    RecordFault := CallName + ': the record''s bytes changed';
  if RecordFault <> '' then
    Fail(RecordCheckName, RecordFault);
end;

function UsesRecord(E: TExport): Boolean;
begin
  Result := E in [exGrabNumber, exGetScore, exAddQSO, exRun];
end;

procedure NoteFpu(E: TExport; const State: TFpuState; const CallName: string);
var
  Differences: string;
begin
  Differences := FpuDifferences(State);
  if (Differences <> '') and (Accounts[E].FpuFault = '') then
  begin
    Accounts[E].FpuFault := CallName + ': ' + Differences;
    Fail(FpuCheckName(E), Accounts[E].FpuFault);
  end;
end;

function CallExport(E: TExport; Eax: LongWord; Edx: LongWord): LongWord;
const
  Misalignments: array[0..2] of LongWord = (4, 8, 12);
var
  Call: TRegisterCall;
  CallName, Seen: string;
begin
  Inc(Accounts[E].Calls);
  CallName := Format('%s call %d', [ExportNames[E], Accounts[E].Calls]);
  try
    Call := CallRegister(Plugin.Addresses[E], Eax, Edx, 0,
      Misalignments[Accounts[E].Calls mod 3]);
  except
    on X: Exception do
    begin
      ResetFpu;
      NoteMemory(CallName, UsesRecord(E));
      raise Exception.CreateFmt('%s raised %s: %s', [CallName, X.ClassName, X.Message]);
    end;
  end;
  NoteMemory(CallName, UsesRecord(E));
  Seen := '';
  if Call.Ebx <> MarkEbx then
    Seen := Seen + Format(' EBX %.8x', [Call.Ebx]);
  if Call.Esi <> MarkEsi then
    Seen := Seen + Format(' ESI %.8x', [Call.Esi]);
  if Call.Edi <> MarkEdi then
    Seen := Seen + Format(' EDI %.8x', [Call.Edi]);
  if Call.Ebp <> MarkEbp then
    Seen := Seen + Format(' EBP %.8x', [Call.Ebp]);
  if Call.EspAfter <> Call.EspBefore then
    Seen := Seen + Format(' ESP moved by %d', [Integer(Call.EspAfter - Call.EspBefore)]);
  if Call.Flags and DirectionFlag <> 0 then
    Seen := Seen + ' direction flag set';
  if (Seen <> '') and (Accounts[E].RegisterFault = '') then
  begin
    Accounts[E].RegisterFault := Format('%s (stack %d bytes off):%s',
      [CallName, Call.Misalign, Seen]);
    Fail(RegisterCheckName(E), Accounts[E].RegisterFault);
  end;
  NoteFpu(E, Call.Fpu, CallName);
  Result := Call.Result;
end;

procedure NoteDirectCall(E: TExport);
begin
  Inc(Accounts[E].Calls);
  NoteFpu(E, TakeFpuState, Format('%s call %d (Pascal parameters)',
    [ExportNames[E], Accounts[E].Calls]));
  NoteMemory(ExportNames[E], UsesRecord(E));
end;

procedure PumpMessages;
var
  Msg: TMsg;
  Differences: string;
begin
  Inc(Pumps);
  ResetFpu;
  while PeekMessage(Msg, 0, 0, 0, PM_REMOVE) do
  begin
    TranslateMessage(Msg);
    DispatchMessage(Msg);
  end;
  Differences := FpuDifferences(TakeFpuState);
  if (Differences <> '') and (PumpFault = '') then
  begin
    PumpFault := Format('pump %d: %s', [Pumps, Differences]);
    Fail(PumpCheckName, PumpFault);
  end;
end;

procedure ReportBoundary;
var
  E: TExport;
begin
  for E := Low(TExport) to High(TExport) do
  begin
    if Accounts[E].Calls = 0 then
      Fail(RegisterCheckName(E), 'never called')
    else if Accounts[E].RegisterFault = '' then
      Pass(Format('%s (%d calls, the stack 4, 8 or 12 bytes off a 16-byte boundary)',
        [RegisterCheckName(E), Accounts[E].Calls]));
    if (Accounts[E].Calls > 0) and (Accounts[E].FpuFault = '') then
      Pass(Format('%s (%d calls)', [FpuCheckName(E), Accounts[E].Calls]));
  end;
  if PumpFault = '' then
    Pass(Format('%s (%d pumps)', [PumpCheckName, Pumps]));
  if RecordFault = '' then
    Pass(Format('%s (read-only, %d calls)', [RecordCheckName, RecordCalls]));
  if OverreadFault = '' then
    Pass(OverreadCheckName);
end;

end.
