// Small helpers shared by the program's windows.
#pragma once

#include <string>

// Shows `text` in a modal OK box captioned with the application's current title; returns
// when the box is closed.
void ShowNotice(const std::string& text);
