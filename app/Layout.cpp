#include "app/Layout.h"

#include <climits>

HostPlacement layoutHost(bool resizeToWindow, float aspectRatio, int clientWidth, int clientHeight,
                         int hostWidth, int hostHeight)
{
    if (!resizeToWindow)
        return {clientWidth / 2 - hostWidth / 2, clientHeight / 2 - hostHeight / 2, hostWidth, hostHeight};

    int width = clientWidth;
    if (aspectRatio > 0.0f) {
        float product = static_cast<float>(clientHeight) * aspectRatio;
        // Converting a float beyond int's range is undefined; no window gets that wide anyway.
        width = product >= static_cast<float>(INT_MAX) ? INT_MAX : static_cast<int>(product);
    }
    return {static_cast<int>((static_cast<long long>(clientWidth) - width) / 2), 0, width, clientHeight};
}
