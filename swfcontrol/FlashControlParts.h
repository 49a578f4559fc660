// What the source files of FlashControl share beyond its class declaration:
// the names of its windows, timers and messages, and HIMETRIC conversion.
#pragma once

#include <windows.h>

namespace flash_control {

inline constexpr wchar_t stageClass[] = L"QuibbletonSwfStage";
inline constexpr wchar_t notifyClass[] = L"QuibbletonSwfNotify";
inline constexpr wchar_t objectName[] = L"Shockwave Flash";

// Posted to the notify window by the load's worker thread.
inline constexpr UINT loadMessage = WM_APP + 1;
// Set on the stage window for the next frame.
inline constexpr UINT_PTR frameTimer = 1;
// A property of the stage window: how many distinct drawn frames it has had,
// so that tests see a frame that never reached the screen.
inline constexpr wchar_t framesShownProperty[] = L"QuibbletonFramesShown";

inline LONG pixelsToHimetric(LONG pixels) { return MulDiv(pixels, 2540, 96); }
inline LONG himetricToPixels(LONG himetric) { return MulDiv(himetric, 96, 2540); }

} // namespace flash_control
