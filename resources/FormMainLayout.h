// Stored description of the main window, as the designer left it.
#pragma once

#include "Forms.h"

// The main window's description; construction replaces position, client size and control bounds.
const TFormLayout& FormMainLayout();
