// The window-system backend of the program: FLTK 1.3 on X11.
#pragma once

#include <memory>

#include "Backend.h"

// Connects to the X display named by DISPLAY and makes the FLTK backend; raises EPlatformError
// (with the display name) when no display can be opened, instead of letting FLTK exit.
std::unique_ptr<Backend> CreateFltkBackend();
