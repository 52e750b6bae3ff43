#pragma once
// The wizard shell: the window MFUMain and the front end it is built on.

#include "shell/DesktopFrontEnd.h"
#include "shell/FrontEnd.h"
#include "shell/MFUMain.h"
