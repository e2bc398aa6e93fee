{ The logger's own database connection: ODBC to an SQLite log file, through
  the undecorated ANSI entry points of odbc32 (Wine stubs the ...A names). }
unit HostOdbc;

{$mode delphi}

interface

uses
  odbcsql;

type
  TLogConnection = record
    Env: SQLHENV;
    Dbc: SQLHDBC;
  end;

{ Connects to the SQLite file at Path (as the driver names it: under Wine
  the Linux path). Raises with the driver's message on failure. }
function OpenLog(const Path: string): TLogConnection;

{ The integer in the first column of the first row of Sql's result, run on
  a statement of the host's own. }
function QueryInteger(const Log: TLogConnection; const Sql: string): Integer;

procedure CloseLog(var Log: TLogConnection);

implementation

uses
  SysUtils;

function Diagnostics(HandleType: SQLSMALLINT; Handle: SQLHANDLE): string;
var
  State: array[0..5] of AnsiChar;
  Text: array[0..511] of AnsiChar;
  Native: SQLINTEGER;
  Length: SQLSMALLINT;
begin
  FillChar(State, SizeOf(State), 0);
  FillChar(Text, SizeOf(Text), 0);
  Native := 0;
  Length := 0;
  if SQLGetDiagRec(HandleType, Handle, 1, @State[0], Native, @Text[0], SizeOf(Text) - 1,
    Length) in [SQL_SUCCESS, SQL_SUCCESS_WITH_INFO] then
    Result := string(PAnsiChar(@State[0])) + ' ' + string(PAnsiChar(@Text[0]))
  else
    Result := 'no diagnostics';
end;

procedure Succeeded(Rc: SQLRETURN; HandleType: SQLSMALLINT; Handle: SQLHANDLE;
  const What: string);
begin
  if (Rc <> SQL_SUCCESS) and (Rc <> SQL_SUCCESS_WITH_INFO) then
    raise Exception.CreateFmt('%s failed (%d): %s', [What, Rc, Diagnostics(HandleType, Handle)]);
end;

function OpenLog(const Path: string): TLogConnection;
var
  ConnectionText: AnsiString;
  OutLength: SQLSMALLINT;
begin
  Result.Env := nil;
  Result.Dbc := nil;
  Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, nil, Result.Env), SQL_HANDLE_ENV, nil,
    'SQLAllocHandle(ENV)');
  Succeeded(SQLSetEnvAttr(Result.Env, SQL_ATTR_ODBC_VERSION, SQLPOINTER(SQL_OV_ODBC3), 0),
    SQL_HANDLE_ENV, Result.Env, 'SQLSetEnvAttr');
  Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, Result.Env, Result.Dbc), SQL_HANDLE_ENV,
    Result.Env, 'SQLAllocHandle(DBC)');
  ConnectionText := AnsiString('DRIVER={SQLite3};Database=' + Path + ';NoCreat=1;');
  OutLength := 0;
  Succeeded(SQLDriverConnect(Result.Dbc, nil, PSQLCHAR(PAnsiChar(ConnectionText)),
    SQL_NTS, nil, 0, OutLength, SQL_DRIVER_NOPROMPT), SQL_HANDLE_DBC, Result.Dbc,
    'SQLDriverConnect to ' + Path);
end;

function QueryInteger(const Log: TLogConnection; const Sql: string): Integer;
var
  Stmt: SQLHSTMT;
  Text: AnsiString;
  Value: SQLINTEGER;
  Indicator: SQLLEN;
begin
  Stmt := nil;
  Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, Log.Dbc, Stmt), SQL_HANDLE_DBC, Log.Dbc,
    'SQLAllocHandle(STMT)');
  try
    Text := AnsiString(Sql);
    Succeeded(SQLExecDirect(Stmt, PSQLCHAR(PAnsiChar(Text)), SQL_NTS), SQL_HANDLE_STMT, Stmt,
      'SQLExecDirect');
    Succeeded(SQLFetch(Stmt), SQL_HANDLE_STMT, Stmt, 'SQLFetch');
    Value := 0;
    Indicator := 0;
    Succeeded(SQLGetData(Stmt, 1, SQL_C_LONG, @Value, SizeOf(Value), @Indicator),
      SQL_HANDLE_STMT, Stmt, 'SQLGetData');
    Result := Value;
  finally
    SQLFreeHandle(SQL_HANDLE_STMT, Stmt);
  end;
end;

procedure CloseLog(var Log: TLogConnection);
begin
  if Log.Dbc <> nil then
  begin
    SQLDisconnect(Log.Dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, Log.Dbc);
    Log.Dbc := nil;
  end;
  if Log.Env <> nil then
  begin
    SQLFreeHandle(SQL_HANDLE_ENV, Log.Env);
    Log.Env := nil;
  end;
end;

end.
