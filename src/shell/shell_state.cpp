#include "shell/shell_state.h"

viewer::Viewer shell::viewer;
ShellSceneListener sceneListener;
ShellState shellState;

ShellState::ShellState() : labelBrush(CreateSolidBrush(RGB(255, 250, 205))) {}
