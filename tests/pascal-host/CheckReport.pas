{ One line per check, "PASS name" or "FAIL name: what was seen", and the
  closing "N passed, M failed". }
unit CheckReport;

{$mode delphi}

interface

uses
  SysUtils;

type
  { Raised by a check that saw something else than it expected. }
  ECheckFailed = class(Exception);

  TCheckBody = procedure;

{ Runs Body as the check Name: it passes unless Body raises. }
procedure Check(const Name: string; Body: TCheckBody);

procedure Pass(const Name: string);
procedure Fail(const Name, Detail: string);

procedure Expect(Condition: Boolean; const Detail: string);
procedure ExpectInt(const What: string; Got, Want: Int64);
procedure ExpectText(const What, Got, Want: string);

{ A string with its control characters shown as \t, \r, \n, \xNN. }
function Visible(const S: string): string;

{ Prints the closing line; the exit code: 0 when every check passed. }
function Summary: Integer;

implementation

var
  Passed: Integer = 0;
  Failed: Integer = 0;

procedure Say(const Line: string);
begin
  WriteLn(Line);
  Flush(Output);
end;

procedure Pass(const Name: string);
begin
  Inc(Passed);
  Say('PASS ' + Name);
end;

procedure Fail(const Name, Detail: string);
begin
  Inc(Failed);
  Say('FAIL ' + Name + ': ' + Detail);
end;

procedure Check(const Name: string; Body: TCheckBody);
begin
  try
    Body;
  except
    on E: ECheckFailed do
    begin
      Fail(Name, E.Message);
      Exit;
    end;
    on E: Exception do
    begin
      Fail(Name, E.ClassName + ': ' + E.Message);
      Exit;
    end;
  end;
  Pass(Name);
end;

procedure Expect(Condition: Boolean; const Detail: string);
begin
  if not Condition then
    raise ECheckFailed.Create(Detail);
end;

procedure ExpectInt(const What: string; Got, Want: Int64);
begin
  if Got <> Want then
    raise ECheckFailed.CreateFmt('%s gave %d, expected %d', [What, Got, Want]);
end;

procedure ExpectText(const What, Got, Want: string);
begin
  if Got <> Want then
    raise ECheckFailed.CreateFmt('%s gave "%s", expected "%s"', [What, Visible(Got), Visible(Want)]);
end;

function Visible(const S: string): string;
var
  C: Char;
begin
  Result := '';
  for C in S do
    case C of
      #9: Result := Result + '\t';
      #10: Result := Result + '\n';
      #13: Result := Result + '\r';
      #0..#8, #11, #12, #14..#31, #127..#255:
        Result := Result + '\x' + IntToHex(Ord(C), 2);
    else
      Result := Result + C;
    end;
end;

function Summary: Integer;
begin
  Say(Format('%d passed, %d failed', [Passed, Failed]));
  if (Failed = 0) and (Passed > 0) then
    Result := 0
  else
    Result := 1;
end;

end.
