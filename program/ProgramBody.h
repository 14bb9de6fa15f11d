// The program body: title, main window, message loop.
#pragma once

// Runs the program on the installed backend; returns when the application has terminated.
void ProgramBody();
