{ Compiles the help project into JoinwrightHelp.chm with the chm package of
  Free Pascal, as chmcmd does, with one difference: the context map (#IVB,
  #STRINGS) names each topic by its path inside the help file
  ("backup.htm"), the way Windows' help viewer looks it up, not by the
  path of the source file on the building machine.

  Usage: jwchmc project.hhp output.chm }
program jwchmc;

{$mode objfpc}{$H+}

uses
  cwstring, Classes, SysUtils, chmfilewriter, chmwriter;

type
  THelpProject = class(TChmProject)
  public
    procedure WriteChm(AOutStream: TStream); override;
  end;

procedure THelpProject.WriteChm(AOutStream: TStream);
var
  Writer: TChmWriter;
  Node: TChmContextNode;
  I: Integer;
begin
  LoadSitemaps;
  Writer := TChmWriter.Create(AOutStream, False);
  try
    Writer.OnGetFileData := @GetData;
    Writer.OnLastFile := @LastFileAdded;
    Writer.FilesToCompress.AddStrings(Files);
    Writer.FilesToCompress.AddStrings(OtherFiles);
    Writer.DefaultPage := DefaultPage;
    Writer.Title := Title;
    Writer.DefaultFont := DefaultFont;
    Writer.FullTextSearch := MakeSearchable;
    Writer.HasBinaryTOC := MakeBinaryTOC;
    Writer.HasBinaryIndex := MakeBinaryIndex;
    Writer.IndexName := IndexFileName;
    Writer.TocName := TableOfContentsFileName;
    Writer.LocaleID := LocaleID;
    for I := 0 to Files.Count - 1 do
    begin
      if not FileExists(ProjectDir + Files[I]) then
        raise Exception.Create('the topic ' + Files[I] + ' does not exist');
      Node := TChmContextNode(Files.Objects[I]);
      if Assigned(Node) and (Node.ContextNumber <> 0) then
        Writer.AddContext(Node.ContextNumber, StringReplace(Files[I], '\', '/', [rfReplaceAll]));
    end;
    Writer.Execute;
  finally
    Writer.Free;
  end;
end;

var
  Project: THelpProject;
  Output: TFileStream;
begin
  if ParamCount <> 2 then
  begin
    WriteLn(StdErr, 'usage: jwchmc project.hhp output.chm');
    Halt(2);
  end;
  Project := THelpProject.Create;
  try
    try
      Project.LoadFromhhp(ParamStr(1), False);
      Output := TFileStream.Create(ParamStr(2), fmCreate);
      try
        Project.WriteChm(Output);
      finally
        Output.Free;
      end;
    except
      on E: Exception do
      begin
        WriteLn(StdErr, 'jwchmc: ', E.Message);
        DeleteFile(ParamStr(2));
        Halt(1);
      end;
    end;
  finally
    Project.Free;
  end;
end.
