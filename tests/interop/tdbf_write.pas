{ Writes tables the way Free Pascal's TDbf makes them, with its own numeric
  and logical columns and with deleted records, so the interop test can check
  that our engine reads them back with the same values.

    tdbf_write FOLDER

  writes FOLDER/TDBF4.DBF (dBase IV) and FOLDER/TDBF3.DBF (dBase III+) and,
  beside each, NAME.expected: the records that are not deleted in the plain
  form of tdbf_dump.pas, made from the values set here, not read back. }
program tdbf_write;
{$mode objfpc}{$H+}
uses SysUtils, Classes, db, dbf;

type
  TRow = record
    Nombre: RawByteString;
    Entero: LongInt;
    Corto: SmallInt;
    Grande: Int64;
    Real: Double;
    Activo: Boolean;
    Blank: Boolean;    // leave every field but NOMBRE unset
    Deleted: Boolean;
  end;

const
  // TDbf makes ENTERO N9 and CORTO N4 and keeps only the last digits of a
  // value that does not fit, so the values stay inside those widths.
  // #$D1 N tilde, #$E0 a grave, #$80 euro sign, #$E7 c cedilla (Windows-1252).
  Rows: array[0..6] of TRow = (
    (Nombre: 'Matem'#$E0'tiques'; Entero: 42; Corto: 7; Grande: 1234567890123; Real: 2.5;
     Activo: True; Blank: False; Deleted: False),
    (Nombre: 'BORRADO'; Entero: 1; Corto: 1; Grande: 1; Real: 1; Activo: True; Blank: False;
     Deleted: True),
    (Nombre: 'Espa'#$D1'a '#$80; Entero: -12345678; Corto: -999; Grande: -5; Real: -13.75;
     Activo: False; Blank: False; Deleted: False),
    (Nombre: 'vac'#$ED'o'; Entero: 0; Corto: 0; Grande: 0; Real: 0; Activo: False; Blank: True;
     Deleted: False),
    (Nombre: 'OTRO BORRADO'; Entero: 2; Corto: 2; Grande: 2; Real: 2; Activo: False;
     Blank: False; Deleted: True),
    (Nombre: 'Fran'#$E7'ais'; Entero: 123456789; Corto: 9999; Grande: 99; Real: 0.125;
     Activo: True; Blank: False; Deleted: False),
    (Nombre: '  con blancos'; Entero: 3; Corto: 3; Grande: 3; Real: 1234.5625; Activo: False;
     Blank: False; Deleted: False)
  );

function Hex(const s: RawByteString): string;
var i: Integer;
begin
  Result := '';
  for i := 1 to Length(s) do Result := Result + IntToHex(Ord(s[i]), 2);
end;

function NumberText(v: Double): string;
var fs: TFormatSettings;
begin
  if Frac(v) = 0 then Exit(IntToStr(Round(v)));
  fs := DefaultFormatSettings;
  fs.DecimalSeparator := ',';
  Result := FloatToStr(v, fs);
end;

procedure WriteTable(const folder, name: string; level: Integer);
var
  t: TDbf;
  expected: TStringList;
  i, n: Integer;
  r: TRow;
begin
  t := TDbf.Create(nil);
  expected := TStringList.Create;
  try
    t.FilePath := IncludeTrailingPathDelimiter(folder);
    t.TableName := name + '.DBF';
    t.TableLevel := level;
    t.FieldDefs.Add('NOMBRE', ftString, 20);
    t.FieldDefs.Add('ENTERO', ftInteger);
    t.FieldDefs.Add('CORTO', ftSmallint);
    t.FieldDefs.Add('GRANDE', ftLargeint);
    t.FieldDefs.Add('REAL', ftFloat);
    t.FieldDefs.Add('ACTIVO', ftBoolean);
    t.CreateTable;
    t.Exclusive := True;
    t.Open;
    n := 0;
    for i := Low(Rows) to High(Rows) do begin
      r := Rows[i];
      t.Append;
      t.FieldByName('NOMBRE').AsString := r.Nombre;
      if not r.Blank then begin
        t.FieldByName('ENTERO').AsInteger := r.Entero;
        t.FieldByName('CORTO').AsInteger := r.Corto;
        t.FieldByName('GRANDE').AsLargeInt := r.Grande;
        t.FieldByName('REAL').AsFloat := r.Real;
        t.FieldByName('ACTIVO').AsBoolean := r.Activo;
      end;
      t.Post;
      if r.Deleted then begin
        t.Delete;
        Continue;
      end;
      Inc(n);
      expected.Add(Format('%d NOMBRE %s', [n, Hex(TrimRight(r.Nombre))]));
      if r.Blank then begin
        expected.Add(Format('%d ENTERO ', [n]));
        expected.Add(Format('%d CORTO ', [n]));
        expected.Add(Format('%d GRANDE ', [n]));
        expected.Add(Format('%d REAL ', [n]));
        expected.Add(Format('%d ACTIVO F', [n]));  // a logical never set reads as false
      end else begin
        expected.Add(Format('%d ENTERO %d', [n, r.Entero]));
        expected.Add(Format('%d CORTO %d', [n, r.Corto]));
        expected.Add(Format('%d GRANDE %d', [n, r.Grande]));
        expected.Add(Format('%d REAL %s', [n, NumberText(r.Real)]));
        if r.Activo then expected.Add(Format('%d ACTIVO T', [n]))
        else expected.Add(Format('%d ACTIVO F', [n]));
      end;
    end;
    t.Close;
    expected.SaveToFile(IncludeTrailingPathDelimiter(folder) + name + '.expected');
  finally
    expected.Free;
    t.Free;
  end;
end;

begin
  if ParamCount <> 1 then begin
    WriteLn(StdErr, 'uso: tdbf_write CARPETA');
    Halt(2);
  end;
  WriteTable(ParamStr(1), 'TDBF4', 4);
  WriteTable(ParamStr(1), 'TDBF3', 3);
end.
