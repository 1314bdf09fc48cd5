#pragma once

// The shell controls: the folder tree (TShellTree) and the shell file list
// (TShellList), joined by a TShellLink so that both show the same folder.
#include "shell/ShellControlSupport.h"
#include "shell/ShellList.h"
#include "shell/ShellTree.h"
