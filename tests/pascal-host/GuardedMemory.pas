{ Buffers that end exactly where an inaccessible page begins, so that a
  callee reading or writing one byte past the end faults at once, and a
  record of the access violations met in them. }
unit GuardedMemory;

{$mode delphi}

interface

uses
  Windows;

type
  TGuardedBuffer = record
    Name: string;
    Base: PByte;       { the allocation }
    Data: PByte;       { Size bytes, up to the guard page }
    Size: Cardinal;
    DataBytes: Cardinal; { the accessible pages before the guard page }
  end;
  PGuardedBuffer = ^TGuardedBuffer;

{ Allocates a buffer of Size bytes followed by a PAGE_NOACCESS page. }
function NewGuardedBuffer(const Name: string; Size: Cardinal): PGuardedBuffer;

{ Makes the buffer's pages read-only or writable again. }
procedure SetReadOnly(Buffer: PGuardedBuffer; ReadOnly: Boolean);

{ Starts recording access violations inside the buffers made so far. }
procedure WatchAccessViolations;

{ The access violations met in the buffers since the last call, as text
  ("write at Record+5915", "read at Record+5916 (past the end)"); empty when
  none. }
function TakeAccessViolations: string;

implementation

uses
  SysUtils;

type
  TExceptionHandler = function(Info: PEXCEPTION_POINTERS): LongInt; stdcall;

function AddVectoredExceptionHandler(First: ULONG; Handler: TExceptionHandler): Pointer;
  stdcall; external 'kernel32' name 'AddVectoredExceptionHandler';

const
  EXCEPTION_CONTINUE_SEARCH = 0;
  MaxBuffers = 8;
  MaxViolations = 16;

type
  TViolation = record
    Buffer: Integer;
    Write: Boolean;
    Address: PtrUInt;
  end;

var
  Buffers: array[0..MaxBuffers - 1] of PGuardedBuffer;
  BufferCount: Integer = 0;
  Violations: array[0..MaxViolations - 1] of TViolation;
  ViolationCount: Integer = 0;
  Watching: Boolean = False;

function PageSize: Cardinal;
var
  Info: TSystemInfo;
begin
  GetSystemInfo(Info);
  Result := Info.dwPageSize;
end;

function NewGuardedBuffer(const Name: string; Size: Cardinal): PGuardedBuffer;
var
  Page: Cardinal;
  Old: DWORD;
begin
  if BufferCount = MaxBuffers then
    raise Exception.Create('too many guarded buffers');
  Page := PageSize;
  New(Result);
  Result^.Name := Name;
  Result^.Size := Size;
  Result^.DataBytes := (Size + Page - 1) div Page * Page;
  Result^.Base := VirtualAlloc(nil, Result^.DataBytes + Page, MEM_COMMIT or MEM_RESERVE,
    PAGE_READWRITE);
  if Result^.Base = nil then
    RaiseLastOSError;
  if not VirtualProtect(Result^.Base + Result^.DataBytes, Page, PAGE_NOACCESS, Old) then
    RaiseLastOSError;
  Result^.Data := Result^.Base + Result^.DataBytes - Size;
  Buffers[BufferCount] := Result;
  Inc(BufferCount);
end;

procedure SetReadOnly(Buffer: PGuardedBuffer; ReadOnly: Boolean);
var
  Old: DWORD;
  Protection: DWORD;
begin
  if ReadOnly then
    Protection := PAGE_READONLY
  else
    Protection := PAGE_READWRITE;
  if not VirtualProtect(Buffer^.Base, Buffer^.DataBytes, Protection, Old) then
    RaiseLastOSError;
end;

{ Runs on the faulting thread before any handler: it only notes the fault
  and lets the ordinary exception handling go on. }
function NoteAccessViolation(Info: PEXCEPTION_POINTERS): LongInt; stdcall;
var
  I: Integer;
  Address: PtrUInt;
  Buffer: PGuardedBuffer;
begin
  Result := EXCEPTION_CONTINUE_SEARCH;
  if Info^.ExceptionRecord^.ExceptionCode <> EXCEPTION_ACCESS_VIOLATION then
    Exit;
  if Info^.ExceptionRecord^.NumberParameters < 2 then
    Exit;
  Address := Info^.ExceptionRecord^.ExceptionInformation[1];
  for I := 0 to BufferCount - 1 do
  begin
    Buffer := Buffers[I];
    if (Address >= PtrUInt(Buffer^.Base)) and
      (Address < PtrUInt(Buffer^.Base) + Buffer^.DataBytes + PageSize) and
      (ViolationCount < MaxViolations) then
    begin
      Violations[ViolationCount].Buffer := I;
      Violations[ViolationCount].Write := Info^.ExceptionRecord^.ExceptionInformation[0] = 1;
      Violations[ViolationCount].Address := Address;
      Inc(ViolationCount);
    end;
  end;
end;

procedure WatchAccessViolations;
begin
  if not Watching then
  begin
    if AddVectoredExceptionHandler(1, @NoteAccessViolation) = nil then
      raise Exception.Create('AddVectoredExceptionHandler failed');
    Watching := True;
  end;
end;

function TakeAccessViolations: string;
var
  I: Integer;
  Buffer: PGuardedBuffer;
  Offset: Int64;
  Kind: string;
begin
  Result := '';
  for I := 0 to ViolationCount - 1 do
  begin
    Buffer := Buffers[Violations[I].Buffer];
    Offset := Int64(Violations[I].Address) - Int64(PtrUInt(Buffer^.Data));
    if Violations[I].Write then
      Kind := 'write'
    else
      Kind := 'read';
    if Result <> '' then
      Result := Result + '; ';
    if Offset >= 0 then
      Result := Result + Format('%s at %s+%d', [Kind, Buffer^.Name, Offset])
    else
      Result := Result + Format('%s at %s%d', [Kind, Buffer^.Name, Offset]);
    if Offset >= Buffer^.Size then
      Result := Result + ' (past the end)'
    else if Offset < 0 then
      Result := Result + ' (before the start)';
  end;
  ViolationCount := 0;
end;

end.
