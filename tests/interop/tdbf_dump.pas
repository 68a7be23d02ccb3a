{ Prints a dBase table as Free Pascal's TDbf reads it, in the plain form the
  interop tests compare (see interop_check.py):

    tdbf_dump FOLDER TABLE.DBF
      one line per field of every record, in the table's order:
      "<n> <FIELD> <value>", n counting the records shown from 1; text as the
      hex of its bytes (TDbf drops trailing blanks), numbers as whole digits or
      with a comma and no trailing zeros, logicals T/F, empty for a null.

    tdbf_dump FOLDER TABLE.DBF TAG FIELD [HEXKEY...]
      opens the production index tag TAG and prints what TDbf made of it
      (so a tag that was not found shows), then walks the table in the tag's
      order printing "<n> <record number> <FIELD as hex>", then searches each
      HEXKEY with SearchKey and prints the record number found or NONE.

    tdbf_dump FOLDER TABLE.DBF TAG FIELD --append HEXKEY...
      opens the table for writing with the tag TAG, appends one record per
      HEXKEY with FIELD set to it (TDbf inserts each key into the tag's tree,
      splitting full blocks), closes, opens again and prints the walk as
      above. }
program tdbf_dump;
{$mode objfpc}{$H+}
uses SysUtils, db, dbf, dbf_common;

function Hex(const s: RawByteString): string;
var i: Integer;
begin
  Result := '';
  for i := 1 to Length(s) do Result := Result + IntToHex(Ord(s[i]), 2);
end;

function Unhex(const h: string): RawByteString;
var i: Integer;
begin
  SetLength(Result, Length(h) div 2);
  for i := 1 to Length(h) div 2 do
    Result[i] := Chr(StrToInt('$' + Copy(h, 2 * i - 1, 2)));
end;

function NumberText(v: Double): string;
var fs: TFormatSettings;
begin
  if Frac(v) = 0 then Exit(IntToStr(Round(v)));
  fs := DefaultFormatSettings;
  fs.DecimalSeparator := ',';
  fs.ThousandSeparator := #0;
  Result := FloatToStr(v, fs);
end;

function ValueText(f: TField): string;
begin
  if f.IsNull then Exit('');
  case f.DataType of
    ftString, ftFixedChar, ftWideString: Result := Hex(f.AsString);
    ftBoolean: if f.AsBoolean then Result := 'T' else Result := 'F';
    ftSmallint, ftInteger, ftWord, ftLargeint, ftAutoInc: Result := IntToStr(f.AsLargeInt);
    ftFloat, ftCurrency, ftBCD: Result := NumberText(f.AsFloat);
  else
    Result := '?' + f.AsString;
  end;
end;

procedure OpenTag(t: TDbf; const tag: string);
begin
  t.Open;
  // Asking for a tag TDbf cannot find is not an error there: it keeps
  // the file order. Print what it really took, so the expected output
  // only matches when the tag is open.
  WriteLn('TAGS ', t.Indexes.Count);
  t.IndexName := tag;
  WriteLn('INDEXNAME ', t.IndexName);
  WriteLn('INDEXFIELDS ', t.IndexFieldNames);
end;

var
  t: TDbf;
  i, n: Integer;
  appending: Boolean;
begin
  if (ParamCount <> 2) and (ParamCount < 4) then begin
    WriteLn(StdErr, 'uso: tdbf_dump CARPETA TABLA.DBF [ETIQUETA CAMPO [--append] [CLAVEHEX...]]');
    Halt(2);
  end;
  t := TDbf.Create(nil);
  try
    t.FilePath := IncludeTrailingPathDelimiter(ParamStr(1));
    t.TableName := ParamStr(2);
    appending := (ParamCount >= 5) and (ParamStr(5) = '--append');
    n := 0;
    if appending then begin
      t.Exclusive := True;
      t.Open;
      t.IndexName := ParamStr(3);
      for i := 6 to ParamCount do begin
        t.Append;
        t.FieldByName(ParamStr(4)).AsString := Unhex(ParamStr(i));
        t.Post;
      end;
      t.Close;
    end;
    t.ReadOnly := True;
    if ParamCount = 2 then begin
      t.Open;
      t.First;
      while not t.EOF do begin
        Inc(n);
        for i := 0 to t.FieldCount - 1 do
          WriteLn(n, ' ', t.Fields[i].FieldName, ' ', ValueText(t.Fields[i]));
        t.Next;
      end;
    end else begin
      OpenTag(t, ParamStr(3));
      t.First;
      while not t.EOF do begin
        Inc(n);
        WriteLn(n, ' ', t.PhysicalRecNo, ' ', Hex(t.FieldByName(ParamStr(4)).AsString));
        t.Next;
      end;
      if not appending then for i := 5 to ParamCount do
        if t.SearchKey(Unhex(ParamStr(i)), stEqual) then
          WriteLn('SEEK ', ParamStr(i), ' ', t.PhysicalRecNo)
        else
          WriteLn('SEEK ', ParamStr(i), ' NONE');
    end;
    t.Close;
  finally
    t.Free;
  end;
end.
