#include "shell/shell_state.h"

Viewer viewer;
ShellSceneListener sceneListener;
ShellState shellState;

ShellState::ShellState() : labelBrush(CreateSolidBrush(RGB(255, 250, 205))) {}
