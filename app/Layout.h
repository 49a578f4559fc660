// Where the control host window goes inside the main window's client area.
#pragma once

struct HostPlacement {
    int x;
    int y;
    int width;
    int height;
};

// With resizeToWindow the host takes the full client height and, when a stage
// aspect ratio is known (> 0), the width that keeps it, centred; the client
// area shows black bars at the sides, or the host overhangs both edges
// equally when the client is narrower. Without a ratio it fills the client.
// Otherwise the host keeps its size and is centred. Halvings truncate toward
// zero, separately.
HostPlacement layoutHost(bool resizeToWindow, float aspectRatio, int clientWidth, int clientHeight,
                         int hostWidth, int hostHeight);
