// Moves two helper processes between processors through the automation object.
// Usage: cscript affinity.js PROGRAM   (PROGRAM: a program to start twice as the helpers)
var failures = 0;

function check(description, actual, expected) {
    if (actual === expected) {
        WScript.Echo("ok   " + description);
    } else {
        WScript.Echo("FAIL " + description + ": got " + actual + ", expected " + expected);
        failures++;
    }
}

// The error number that a failing call raises, or 0.
function errorOf(call) {
    try {
        call();
        return 0;
    } catch (e) {
        return e.number;
    }
}

var shell = new ActiveXObject("WScript.Shell");
var one = shell.Exec(WScript.Arguments(0));
var two = shell.Exec(WScript.Arguments(0));

// Both programmatic identifiers name the same class.
var manager = new ActiveXObject("orvan.TandrelPro.AffinityManager.1");
check("GenerateAllProcessorsMask", manager.GenerateAllProcessorsMask() & 3, 3);
manager = new ActiveXObject("orvan.TandrelPro.AffinityManager");
var all = manager.GenerateAllProcessorsMask();
manager.EnableServiceManipulation();

manager.SetProcessAffinity(one.ProcessID, 2);
check("SetProcessAffinity", manager.GetProcessAffinity(one.ProcessID), 2);

manager.MoveProcesses([one.ProcessID, two.ProcessID], 1);
check("MoveProcesses one", manager.GetProcessAffinity(one.ProcessID), 1);
check("MoveProcesses two", manager.GetProcessAffinity(two.ProcessID), 1);

manager.IsolateProcesses([two.ProcessID], 2);
check("IsolateProcesses listed", manager.GetProcessAffinity(two.ProcessID), 2);
check("IsolateProcesses others", manager.GetProcessAffinity(one.ProcessID), all & ~2);

manager.MoveAllProcesses(all);
check("MoveAllProcesses", manager.GetProcessAffinity(two.ProcessID), all);

// Failures throw errors that carry the method's result.
var E_FAIL = 0x80004005 | 0, E_INVALIDARG = 0x80070057 | 0;
check("SetProcessAffinity with no processor",
      errorOf(function () { manager.SetProcessAffinity(one.ProcessID, 0); }), E_INVALIDARG);
check("MoveProcesses with an empty array",
      errorOf(function () { manager.MoveProcesses([], 1); }), E_INVALIDARG);
check("GetProcessAffinity of no process", // no process has the identifier 4294967292
      errorOf(function () { manager.GetProcessAffinity(-4); }), E_FAIL);

one.Terminate();
two.Terminate();

WScript.Quit(failures);
