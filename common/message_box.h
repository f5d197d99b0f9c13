// The one entry point for the system's message boxes.
//
// Every box goes through showMessageBox, which shows a real MessageBoxA. A test
// can install a handler instead (see message_box_recorder.h), which receives
// the same arguments and answers with the button it chooses.
#pragma once

#include <windows.h>

// Shows a modal box; arguments and result are those of MessageBoxA.
int showMessageBox(HWND owner, const char* text, const char* caption, UINT style);

// Replaces the real box for every later showMessageBox; a null handler puts the
// real MessageBoxA back.
using MessageBoxHandler = int (*)(void* context, HWND owner, const char* text,
                                  const char* caption, UINT style);
void setMessageBoxHandler(MessageBoxHandler handler, void* context);

// The program's own name, the caption of its plain messages; set once at
// start-up ("Quillet" until then).
void setProgramName(const char* name);

// A plain message of the program: the program's name as caption, owned by the
// active window, with an OK button unless `style` says otherwise.
int showProgramMessage(const char* text, UINT style = MB_OK);
