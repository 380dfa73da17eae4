// The diagnostic message boxes of the PIDArray methods, shown only where someone can answer them.
#pragma once

// Shows `text` in a box with `caption`, no owner and one OK button, and waits for the answer.
// Outside the visible, interactive window station (a service, a task scheduled to run whether
// the user is logged on or not) it shows nothing and returns at once, as if answered OK.
void ShowDiagnostic(const char* text, const char* caption);
