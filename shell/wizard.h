#pragma once
// The wizard shell: the window MFUMain, the view of the wizard's controller, and its boxes.

#include "shell/MFUMain.h"
#include "shell/MessageBoxDialogs.h"
