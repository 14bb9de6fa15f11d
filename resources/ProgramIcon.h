#pragma once
#include "Forms.h"
// The program's 32 x 32 icon.
extern const TIconPicture ProgramIcon;
