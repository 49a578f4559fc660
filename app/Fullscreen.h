// Fullscreen mode of the main window: borderless, menu-less and topmost over
// the primary screen until Escape is held.
#pragma once

void EnterFullscreen();
void LeaveFullscreen();
