{ The two records the logger and the plug-in exchange, declared as a Delphi
  logger declares them: packed records of ShortString fields, 32-bit
  integers and the logger's own data in between. }
unit HostRecords;

{$mode delphi}

interface

type
  TQSOData = packed record
    Connection: Pointer; { an ODBC connection handle (SQLHDBC) }
    Reserved4: array[0..7] of Byte;
    TableName: ShortString;
    CallSign: ShortString;
    Reserved524: array[0..15] of Byte;
    DigiBand: ShortString;
    QSOMode: ShortString;
    Continent: ShortString;
    QSOReportRecived: ShortString;
    Reserved1564: array[0..767] of Byte;
    MainPrefix: ShortString;
    DXCCPrefix: ShortString;
    Reserved2844: array[0..1023] of Byte;
    CaptionPrefix: ShortString;
    Reserved4124: array[0..1791] of Byte;
  end;
  PQSOData = ^TQSOData;

  TPluginInfo = packed record
    ContestName: ShortString;
    InfoWord1: Integer;
    PluginTag: ShortString;
    InfoWord2: Integer;
  end;
  PPluginInfo = ^TPluginInfo;

const
  OffsetTableName = PtrUInt(@PQSOData(nil)^.TableName);
  OffsetCallSign = PtrUInt(@PQSOData(nil)^.CallSign);
  OffsetDigiBand = PtrUInt(@PQSOData(nil)^.DigiBand);
  OffsetQSOMode = PtrUInt(@PQSOData(nil)^.QSOMode);
  OffsetContinent = PtrUInt(@PQSOData(nil)^.Continent);
  OffsetQSOReportRecived = PtrUInt(@PQSOData(nil)^.QSOReportRecived);
  OffsetMainPrefix = PtrUInt(@PQSOData(nil)^.MainPrefix);
  OffsetDXCCPrefix = PtrUInt(@PQSOData(nil)^.DXCCPrefix);
  OffsetCaptionPrefix = PtrUInt(@PQSOData(nil)^.CaptionPrefix);
  OffsetInfoWord1 = PtrUInt(@PPluginInfo(nil)^.InfoWord1);
  OffsetPluginTag = PtrUInt(@PPluginInfo(nil)^.PluginTag);
  OffsetInfoWord2 = PtrUInt(@PPluginInfo(nil)^.InfoWord2);

{$if SizeOf(TQSOData) <> 5916} {$error TQSOData must be 5916 bytes} {$endif}
{$if SizeOf(TPluginInfo) <> 520} {$error TPluginInfo must be 520 bytes} {$endif}
{$if SizeOf(ShortString) <> 256} {$error ShortString must be 256 bytes} {$endif}
{$if (OffsetTableName <> 12) or (OffsetCallSign <> 268) or (OffsetDigiBand <> 540)
  or (OffsetQSOMode <> 796) or (OffsetContinent <> 1052)
  or (OffsetQSOReportRecived <> 1308) or (OffsetMainPrefix <> 2332)
  or (OffsetDXCCPrefix <> 2588) or (OffsetCaptionPrefix <> 3868)}
  {$error a TQSOData field is not at its offset}
{$endif}
{$if (OffsetInfoWord1 <> 256) or (OffsetPluginTag <> 260) or (OffsetInfoWord2 <> 516)}
  {$error a TPluginInfo field is not at its offset}
{$endif}

type
  { One contact as the logger hands it over. }
  TContact = record
    CallSign, DigiBand, QSOMode, Exchange, DXCCPrefix, MainPrefix: ShortString;
  end;

function Contact(const CallSign, DigiBand, QSOMode: ShortString;
  const Exchange: ShortString = ''; const DXCCPrefix: ShortString = '';
  const MainPrefix: ShortString = ''): TContact;

{ Fills Data as the logger does: its own bytes in the reserved ranges, the
  connection, table name and caption prefix, and the contact's fields. }
procedure FillRecord(var Data: TQSOData; Connection: Pointer;
  const TableName, CaptionPrefix: ShortString; const C: TContact);

{ The bytes at P as "0D 4D 6F ...", at most Count of them. }
function HexBytes(P: PByte; Count: Integer): string;

implementation

uses
  SysUtils;

function Contact(const CallSign, DigiBand, QSOMode: ShortString;
  const Exchange: ShortString; const DXCCPrefix: ShortString;
  const MainPrefix: ShortString): TContact;
begin
  Result.CallSign := CallSign;
  Result.DigiBand := DigiBand;
  Result.QSOMode := QSOMode;
  Result.Exchange := Exchange;
  Result.DXCCPrefix := DXCCPrefix;
  Result.MainPrefix := MainPrefix;
end;

procedure FillRecord(var Data: TQSOData; Connection: Pointer;
  const TableName, CaptionPrefix: ShortString; const C: TContact);
var
  I: Integer;
  Bytes: PByte;
begin
  { Not zeros: a plug-in that reads the logger's bytes as text or numbers
    meets a pattern it cannot mistake for an empty value. }
  Bytes := PByte(@Data);
  for I := 0 to SizeOf(Data) - 1 do
    Bytes[I] := Byte($A5 xor I);
  Data.Connection := Connection;
  Data.TableName := TableName;
  Data.CallSign := C.CallSign;
  Data.DigiBand := C.DigiBand;
  Data.QSOMode := C.QSOMode;
  Data.Continent := 'EU';
  Data.QSOReportRecived := C.Exchange;
  Data.MainPrefix := C.MainPrefix;
  Data.DXCCPrefix := C.DXCCPrefix;
  Data.CaptionPrefix := CaptionPrefix;
end;

function HexBytes(P: PByte; Count: Integer): string;
var
  I: Integer;
begin
  Result := '';
  for I := 0 to Count - 1 do
  begin
    if I > 0 then
      Result := Result + ' ';
    Result := Result + IntToHex(P[I], 2);
  end;
end;

end.
