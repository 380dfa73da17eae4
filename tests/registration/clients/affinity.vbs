' Moves two helper processes between processors through the automation object.
' Usage: cscript affinity.vbs PROGRAM   (PROGRAM: a program to start twice as the helpers)
Option Explicit
Dim shell, manager, one, two, all, failures
failures = 0

Sub Check(description, actual, expected)
    If actual = expected Then
        WScript.Echo "ok   " & description
    Else
        WScript.Echo "FAIL " & description & ": got " & actual & ", expected " & expected
        failures = failures + 1
    End If
End Sub

Set shell = CreateObject("WScript.Shell")
Set one = shell.Exec(WScript.Arguments(0))
Set two = shell.Exec(WScript.Arguments(0))

' Both programmatic identifiers name the same class.
Set manager = CreateObject("orvan.TandrelPro.AffinityManager.1")
Check "GenerateAllProcessorsMask", manager.GenerateAllProcessorsMask() And 3, 3
Set manager = CreateObject("orvan.TandrelPro.AffinityManager")
all = manager.GenerateAllProcessorsMask()
manager.EnableServiceManipulation

manager.SetProcessAffinity one.ProcessID, 2
Check "SetProcessAffinity", manager.GetProcessAffinity(one.ProcessID), 2

manager.MoveProcesses Array(one.ProcessID, two.ProcessID), 1
Check "MoveProcesses one", manager.GetProcessAffinity(one.ProcessID), 1
Check "MoveProcesses two", manager.GetProcessAffinity(two.ProcessID), 1

manager.IsolateProcesses Array(two.ProcessID), 2
Check "IsolateProcesses listed", manager.GetProcessAffinity(two.ProcessID), 2
Check "IsolateProcesses others", manager.GetProcessAffinity(one.ProcessID), all And Not 2

manager.MoveAllProcesses all
Check "MoveAllProcesses", manager.GetProcessAffinity(two.ProcessID), all

' Failures raise script errors with the method's result.
On Error Resume Next
manager.SetProcessAffinity one.ProcessID, 0
Check "SetProcessAffinity with no processor", Err.Number, 5
Err.Clear
manager.MoveProcesses Array(), 1
Check "MoveProcesses with an empty array", Err.Number, 5
Err.Clear
manager.GetProcessAffinity -4 ' no process has the identifier 4294967292
Check "GetProcessAffinity of no process", Hex(Err.Number), "80004005"
On Error GoTo 0

one.Terminate
two.Terminate

WScript.Quit failures
