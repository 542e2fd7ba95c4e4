' Drives R58267.Module from Wine's script host as a scripting client does:
' variables passed by reference for the in/out arguments, isPathModele left
' out. Question 720 with no Excel to obtain fails; prints the error as VB
' reports it, line feed and carriage return shown as <LF> and <CR>.
Option Explicit
Dim oModule, oApplication, lHandle
Set oModule = CreateObject("R58267.Module")
lHandle = 7
On Error Resume Next
oModule.InitQuestion 720, "C:\r58267\", oApplication, lHandle
WScript.Echo "number=" & Err.Number
WScript.Echo "source=" & Replace(Replace(Err.Source, vbLf, "<LF>"), vbCr, "<CR>")
WScript.Echo "description=" & Err.Description
Err.Clear
' TypeName of Nothing crashes Wine's script engine; Is Nothing does not.
WScript.Echo "application is Nothing=" & (oApplication Is Nothing) & " handle=" & lHandle
WScript.Echo "erreurGenerale=" & oModule.ErreurGenerale
