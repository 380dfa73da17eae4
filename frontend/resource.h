// Resource and control identifiers of the program, shared by the resource script and the code.
#pragma once

#define IDI_MAIN 103
#define IDD_MAIN 107
#define IDD_PROCESSOR_AFFINITY 124

// Main window (template 107).
#define IDC_PROCESS_LIST 1002
#define IDC_REFRESH 1003
#define IDC_RESET 1004
#define IDC_MINIMIZE 1005
#define IDC_EXIT 1006

// Context menu commands.
#define ID_MOVE_TO_CPUS 10
#define ID_ISOLATE_ON_CPUS 11

// Processor dialog (template 124): the box of processor k is IDC_CPU_FIRST + k.
#define IDC_CPU_FIRST 2000
#define IDC_CPU_LAST 2031
