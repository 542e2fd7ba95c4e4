' grade.vbs QUESTION FOLDER: grades the workbook delivered in FOLDER for
' QUESTION through R58267.Module as a scripting client does (late binding,
' its own variables passed by reference), with the Excel the module obtains.
' Prints the outcome as one JSON line in the form `r58267 check --json`
' gives, or the failed call and its error.
Option Explicit

Function Quoted(sText)
  Dim sResult
  sResult = Replace(sText, "\", "\\")
  sResult = Replace(sResult, """", "\""")
  sResult = Replace(sResult, vbLf, "\n")
  sResult = Replace(sResult, vbCr, "\r")
  Quoted = """" & sResult & """"
End Function

Function JsonBoolean(bValue)
  If bValue Then JsonBoolean = "true" Else JsonBoolean = "false"
End Function

Dim lQuestion, sFolder, oModule, oApplication, lHandle, sFailed
lQuestion = CLng(WScript.Arguments(0))
sFolder = WScript.Arguments(1) & "\"
lHandle = 0
Set oModule = CreateObject("R58267.Module")

Dim bErreur, sCause, bNuance, oComplement, sLines, i
sFailed = ""
On Error Resume Next
oModule.InitQuestion lQuestion, sFolder, oApplication, lHandle
If Err.Number <> 0 Then sFailed = "InitQuestion"
If sFailed = "" Then oModule.TestePoint: If Err.Number <> 0 Then sFailed = "TestePoint"
If sFailed = "" Then bErreur = oModule.ErreurGenerale: If Err.Number <> 0 Then sFailed = "ErreurGenerale"
If sFailed = "" Then sCause = oModule.CauseErreur: If Err.Number <> 0 Then sFailed = "CauseErreur"
If sFailed = "" Then bNuance = oModule.BravoNuance: If Err.Number <> 0 Then sFailed = "BravoNuance"
If sFailed = "" Then Set oComplement = oModule.Complement: If Err.Number <> 0 Then sFailed = "Complement"
sLines = ""
If sFailed = "" Then
  For i = 1 To oComplement.count
    If i > 1 Then sLines = sLines & ","
    sLines = sLines & Quoted(oComplement.item(i))
  Next
  If Err.Number <> 0 Then sFailed = "Complement"
End If
If sFailed <> "" Then
  WScript.Echo "{""question"":" & lQuestion & ",""failed"":" & Quoted(sFailed) & _
    ",""error"":{""number"":" & Err.Number & ",""description"":" & Quoted(Err.Description) & _
    ",""source"":" & Quoted(Err.Source) & "}}"
  Err.Clear
End If
oModule.Fermer
oModule.Quitter oApplication, lHandle
On Error GoTo 0

If sFailed = "" Then
  Dim bPassed
  If lQuestion = 709 Then
    bPassed = Not bErreur And sCause = "D" And bNuance
  Else
    bPassed = Not bErreur And sCause = ""
  End If
  WScript.Echo "{""question"":" & lQuestion & ",""passed"":" & JsonBoolean(bPassed) & _
    ",""erreurGenerale"":" & JsonBoolean(bErreur) & ",""causeErreur"":" & Quoted(sCause) & _
    ",""bravoNuance"":" & JsonBoolean(bNuance) & ",""complement"":[" & sLines & "]}"
End If
