{ Writes SOLUC with Free Pascal's TDbf, a dBase writer independent of
  Pontevia's engine, from the records of a stand-in manifest:

    soluc_tdbf WORKDIR MANIFEST LEVEL

  LEVEL is TDbf's table level: 4 (dBase IV: DIA a small N column, HORA
  N(18,8)) or 7 (Visual dBase 7: DIA TDbf's binary integer 'I'). Horalia-like
  extra fields stand around the seven the import reads, and after every
  seventh record a record of day 5 at HORA 1.5 is written and deleted: a
  reader that does not skip deleted records would export it and switch a
  whole-hour solution to half hours. Text goes in as the manifest's
  Windows-1252 bytes. }
program soluc_tdbf;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, db, dbf;

procedure Fail(const Msg: string);
begin
  WriteLn(StdErr, 'soluc_tdbf: ', Msg);
  Halt(1);
end;

function ParseNumber(const S: string): Double;
var
  Code: Integer;
begin
  Val(S, Result, Code);
  if Code <> 0 then Fail('número no válido: ' + S);
end;

var
  Table: TDbf;
  Manifest: TextFile;
  Line, Folder: RawByteString;
  Parts: TStringList;
  Level, Count: Integer;

procedure SetRecord(Dia: Integer; Hora: Double; const Prof, Grupo, Aula, Asig, Tarea: RawByteString);
begin
  Table.Append;
  Table.FieldByName('NUMERO').AsInteger := Count;
  Table.FieldByName('DIA').AsInteger := Dia;
  Table.FieldByName('HORA').AsFloat := Hora;
  Table.FieldByName('PROF').AsString := Prof;
  Table.FieldByName('CODGRUPO').AsString := Grupo;
  Table.FieldByName('AULA').AsString := Aula;
  Table.FieldByName('ASIG').AsString := Asig;
  Table.FieldByName('TAREA').AsString := Tarea;
  Table.FieldByName('BLOQUEO').AsBoolean := False;
  Table.Post;
end;

begin
  if ParamCount <> 3 then Fail('uso: soluc_tdbf CARPETA MANIFIESTO NIVEL');
  Folder := IncludeTrailingPathDelimiter(ParamStr(1));
  Level := StrToInt(ParamStr(3));
  DeleteFile(Folder + 'SOLUC.DBF');
  DeleteFile(Folder + 'SOLUC.MDX');

  Table := TDbf.Create(nil);
  Table.FilePathFull := Folder;
  Table.TableName := 'SOLUC.DBF';
  Table.TableLevel := Level;
  Table.FieldDefs.Add('NUMERO', ftInteger);
  if Level >= 7 then
    Table.FieldDefs.Add('DIA', ftInteger)
  else
    Table.FieldDefs.Add('DIA', ftSmallInt);
  Table.FieldDefs.Add('PROF', ftString, 10);
  Table.FieldDefs.Add('HORA', ftFloat);
  Table.FieldDefs.Add('CODGRUPO', ftString, 10);
  Table.FieldDefs.Add('AULA', ftString, 10);
  Table.FieldDefs.Add('ASIG', ftString, 10);
  Table.FieldDefs.Add('TAREA', ftString, 10);
  Table.FieldDefs.Add('BLOQUEO', ftBoolean);
  Table.CreateTable;
  Table.Open;

  Parts := TStringList.Create;
  Parts.Delimiter := #9;
  Parts.StrictDelimiter := True;
  AssignFile(Manifest, ParamStr(2));
  Reset(Manifest);
  ReadLn(Manifest, Line);  { header }
  Count := 0;
  while not Eof(Manifest) do
  begin
    ReadLn(Manifest, Line);
    if Line = '' then Continue;
    Parts.DelimitedText := Line;
    if Parts.Count < 7 then Fail('línea incompleta: ' + Line);
    Inc(Count);
    SetRecord(Round(ParseNumber(Parts[0])), ParseNumber(Parts[1]), Parts[2], Parts[3],
              Parts[4], Parts[5], Parts[6]);
    if Count mod 7 = 0 then
    begin
      SetRecord(5, 1.5, 'BORRADO', '', '', '', '');
      Table.Delete;
    end;
  end;
  CloseFile(Manifest);
  Table.Close;
  Table.Free;
  Parts.Free;
  WriteLn('SOLUC escrita con TDbf (nivel ', Level, '): ', Count, ' registros y ', Count div 7, ' borrados');
end.
