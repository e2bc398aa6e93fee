{ Calls into the plug-in the way a Delphi logger's compiled code does, and
  what a callee must leave as it found it: the callee-saved registers, the
  stack pointer, the direction flag and the floating-point state. }
unit RegisterCalls;

{$mode delphi}
{$asmmode intel}

interface

type
  { The floating-point state as the x87 unit and SSE keep it. }
  TFpuState = record
    ControlWord: Word;
    StatusWord: Word; { exception flags (bits 0-7) and stack top }
    TagWord: Word;    { $FFFF: every x87 register empty }
    Mxcsr: LongWord;
  end;

  { What one register-convention call left behind. }
  TRegisterCall = record
    Result: LongWord;
    Misalign: LongWord;    { ESP was this many bytes below a 16-byte boundary }
    EspBefore, EspAfter: LongWord;
    Ebx, Esi, Edi, Ebp: LongWord;
    Flags: LongWord;       { EFLAGS after the call }
    Fpu: TFpuState;        { read at once after the call }
  end;

const
  { Values the callee-saved registers hold during a call. }
  MarkEbx = $11111111;
  MarkEsi = $22222222;
  MarkEdi = $33333333;
  MarkEbp = $44444444;
  DirectionFlag = $400;
  { Exception flags and the error summary of the status word. }
  StatusExceptionBits = $00BF;
  EmptyTagWord = $FFFF;

{ Makes State the floating-point state every call starts from. }
procedure SetFpuBaseline(const State: TFpuState);
function FpuBaseline: TFpuState;

{ Calls Fn with EAX, EDX and ECX set, the stack Misalign (4, 8 or 12) bytes
  below a 16-byte boundary, the Mark values in EBX, ESI, EDI and EBP, the
  direction flag clear and the baseline floating-point state; records what
  the call left and puts the baseline state back. An exception raised in
  Fn travels on to the caller. }
function CallRegister(Fn: Pointer; Eax, Edx, Ecx, Misalign: LongWord): TRegisterCall;

{ Reads the floating-point state without raising a pending x87 exception,
  then puts the baseline state back. }
function TakeFpuState: TFpuState;

{ Puts the baseline floating-point state back: no exception flags, an empty
  x87 stack, the baseline control word and MXCSR. }
procedure ResetFpu;

{ Differences between State and the baseline, e.g. "control word 133F,
  expected 1372"; empty when none. }
function FpuDifferences(const State: TFpuState): string;

implementation

uses
  SysUtils;

type
  TFrame = record
    Fn: Pointer;
    InEax, InEdx, InEcx: LongWord;
    Call: TRegisterCall;
  end;

var
  Frame: TFrame;
  SavedEsp: LongWord;
  FpuEnvironment: array[0..6] of LongWord; { FNSTENV's 28 bytes }
  MxcsrNow: LongWord;
  BaselineControlWord: Word;
  BaselineMxcsr: LongWord;
  Baseline: TFpuState;

procedure SetFpuBaseline(const State: TFpuState);
begin
  Baseline := State;
  BaselineControlWord := State.ControlWord;
  BaselineMxcsr := State.Mxcsr;
end;

function FpuBaseline: TFpuState;
begin
  Result := Baseline;
end;

{ FNSTENV and FNINIT wait for nothing, so a pending unmasked exception that
  the callee left is read, not raised; FNINIT then clears it before FLDCW. }
procedure CaptureAndReset; assembler; nostackframe;
asm
  fnstenv [FpuEnvironment]
  stmxcsr [MxcsrNow]
  fninit
  fldcw [BaselineControlWord]
  ldmxcsr [BaselineMxcsr]
end;

procedure ResetFpu; assembler; nostackframe;
asm
  fninit
  fldcw [BaselineControlWord]
  ldmxcsr [BaselineMxcsr]
end;

procedure RegisterThunk; assembler; nostackframe;
asm
  push ebp
  push ebx
  push esi
  push edi
  mov [SavedEsp], esp
  fninit
  fldcw [BaselineControlWord]
  ldmxcsr [BaselineMxcsr]
  and esp, -16
  sub esp, [Frame.Call.Misalign]
  mov ebx, MarkEbx
  mov esi, MarkEsi
  mov edi, MarkEdi
  mov ebp, MarkEbp
  cld
  mov [Frame.Call.EspBefore], esp
  mov eax, [Frame.InEax]
  mov edx, [Frame.InEdx]
  mov ecx, [Frame.InEcx]
  call dword ptr [Frame.Fn]
  mov [Frame.Call.EspAfter], esp
  mov [Frame.Call.Result], eax
  mov [Frame.Call.Ebx], ebx
  mov [Frame.Call.Esi], esi
  mov [Frame.Call.Edi], edi
  mov [Frame.Call.Ebp], ebp
  pushfd
  pop eax
  mov [Frame.Call.Flags], eax
  cld
  fnstenv [FpuEnvironment]
  stmxcsr [MxcsrNow]
  fninit
  fldcw [BaselineControlWord]
  ldmxcsr [BaselineMxcsr]
  mov esp, [SavedEsp]
  pop edi
  pop esi
  pop ebx
  pop ebp
end;

function CapturedState: TFpuState;
begin
  Result.ControlWord := Word(FpuEnvironment[0]);
  Result.StatusWord := Word(FpuEnvironment[1]);
  Result.TagWord := Word(FpuEnvironment[2]);
  Result.Mxcsr := MxcsrNow;
end;

function CallRegister(Fn: Pointer; Eax, Edx, Ecx, Misalign: LongWord): TRegisterCall;
begin
  FillChar(Frame, SizeOf(Frame), 0);
  Frame.Fn := Fn;
  Frame.InEax := Eax;
  Frame.InEdx := Edx;
  Frame.InEcx := Ecx;
  Frame.Call.Misalign := Misalign;
  asm
    call RegisterThunk
  end ['EAX', 'EBX', 'ECX', 'EDX', 'ESI', 'EDI'];
  Frame.Call.Fpu := CapturedState;
  Result := Frame.Call;
end;

function TakeFpuState: TFpuState;
begin
  asm
    call CaptureAndReset
  end ['EAX'];
  Result := CapturedState;
end;

function FpuDifferences(const State: TFpuState): string;

  procedure Add(const Text: string);
  begin
    if Result <> '' then
      Result := Result + ', ';
    Result := Result + Text;
  end;

begin
  Result := '';
  if State.ControlWord <> Baseline.ControlWord then
    Add(Format('control word %.4x, expected %.4x', [State.ControlWord, Baseline.ControlWord]));
  if State.StatusWord and StatusExceptionBits <> 0 then
    Add(Format('status word %.4x: exception flags %.2x left set',
      [State.StatusWord, State.StatusWord and StatusExceptionBits]));
  if State.TagWord <> EmptyTagWord then
    Add(Format('tag word %.4x: x87 stack not empty', [State.TagWord]));
  if State.Mxcsr <> Baseline.Mxcsr then
    Add(Format('MXCSR %.8x, expected %.8x', [State.Mxcsr, Baseline.Mxcsr]));
end;

end.
