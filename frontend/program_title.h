// The program's name as the user sees it.
#pragma once

// The main window's caption; also the caption of every message box, the notification icon's tip
// and the mark by which a second start finds a running instance.
constexpr char kProgramTitle[] = "Tandrel Pro";
