// The IShockwaveFlash slots that the player never calls, as X-macro lists, so
// that the stand-in control and the recording test double stub them from one
// list and a slot added to the interface cannot be forgotten in either.
//
// Each entry is X(method, logName, (parameter types)): logName is what call
// logs show, the method without the raw_ prefix of the COM-support names.
// Order does not matter: the interface declaration fixes the vtable.
#pragma once

// The members that act on the movie's timeline and its look.
#define QP_FLASH_PLAYBACK_SLOTS(X)                                                                                    \
    X(get_TotalFrames, get_TotalFrames, (long*))                                                                      \
    X(get_Playing, get_Playing, (VARIANT_BOOL*))                                                                      \
    X(put_Playing, put_Playing, (VARIANT_BOOL))                                                                       \
    X(get_Quality, get_Quality, (int*))                                                                               \
    X(put_Quality, put_Quality, (int))                                                                                \
    X(get_BackgroundColor, get_BackgroundColor, (long*))                                                              \
    X(put_BackgroundColor, put_BackgroundColor, (long))                                                               \
    X(get_Loop, get_Loop, (VARIANT_BOOL*))                                                                            \
    X(put_Loop, put_Loop, (VARIANT_BOOL))                                                                             \
    X(get_FrameNum, get_FrameNum, (long*))                                                                            \
    X(put_FrameNum, put_FrameNum, (long))                                                                             \
    X(raw_Play, Play, ())                                                                                             \
    X(raw_Back, Back, ())                                                                                             \
    X(raw_Forward, Forward, ())                                                                                       \
    X(raw_Rewind, Rewind, ())                                                                                         \
    X(raw_StopPlay, StopPlay, ())                                                                                     \
    X(raw_GotoFrame, GotoFrame, (long))                                                                               \
    X(raw_CurrentFrame, CurrentFrame, (long*))                                                                        \
    X(raw_IsPlaying, IsPlaying, (VARIANT_BOOL*))                                                                      \
    X(get_Quality2, get_Quality2, (BSTR*))                                                                            \
    X(put_Quality2, put_Quality2, (BSTR))                                                                             \
    X(raw_TGotoFrame, TGotoFrame, (BSTR, long))                                                                       \
    X(raw_TCurrentFrame, TCurrentFrame, (BSTR, long*))

// Everything else that neither control does.
#define QP_FLASH_OTHER_SLOTS(X)                                                                                       \
    X(get_ReadyState, get_ReadyState, (long*))                                                                        \
    X(get_ScaleMode, get_ScaleMode, (int*))                                                                           \
    X(put_ScaleMode, put_ScaleMode, (int))                                                                            \
    X(get_AlignMode, get_AlignMode, (int*))                                                                           \
    X(put_AlignMode, put_AlignMode, (int))                                                                            \
    X(get_Movie, get_Movie, (BSTR*))                                                                                  \
    X(raw_SetZoomRect, SetZoomRect, (long, long, long, long))                                                         \
    X(raw_Zoom, Zoom, (int))                                                                                          \
    X(raw_Pan, Pan, (long, long, int))                                                                                \
    X(raw_Stop, Stop, ())                                                                                             \
    X(raw_PercentLoaded, PercentLoaded, (long*))                                                                      \
    X(raw_FrameLoaded, FrameLoaded, (long, VARIANT_BOOL*))                                                            \
    X(raw_FlashVersion, FlashVersion, (long*))                                                                        \
    X(get_WMode, get_WMode, (BSTR*))                                                                                  \
    X(get_SAlign, get_SAlign, (BSTR*))                                                                                \
    X(put_SAlign, put_SAlign, (BSTR))                                                                                 \
    X(get_Menu, get_Menu, (VARIANT_BOOL*))                                                                            \
    X(put_Menu, put_Menu, (VARIANT_BOOL))                                                                             \
    X(get_Base, get_Base, (BSTR*))                                                                                    \
    X(put_Base, put_Base, (BSTR))                                                                                     \
    X(get_Scale, get_Scale, (BSTR*))                                                                                  \
    X(put_Scale, put_Scale, (BSTR))                                                                                   \
    X(get_DeviceFont, get_DeviceFont, (VARIANT_BOOL*))                                                                \
    X(put_DeviceFont, put_DeviceFont, (VARIANT_BOOL))                                                                 \
    X(get_EmbedMovie, get_EmbedMovie, (VARIANT_BOOL*))                                                                \
    X(put_EmbedMovie, put_EmbedMovie, (VARIANT_BOOL))                                                                 \
    X(get_BGColor, get_BGColor, (BSTR*))                                                                              \
    X(put_BGColor, put_BGColor, (BSTR))                                                                               \
    X(raw_LoadMovie, LoadMovie, (int, BSTR))                                                                          \
    X(raw_TGotoLabel, TGotoLabel, (BSTR, BSTR))                                                                       \
    X(raw_TCurrentLabel, TCurrentLabel, (BSTR, BSTR*))                                                                \
    X(raw_TPlay, TPlay, (BSTR))                                                                                       \
    X(raw_TStopPlay, TStopPlay, (BSTR))                                                                               \
    X(raw_SetVariable, SetVariable, (BSTR, BSTR))                                                                     \
    X(raw_GetVariable, GetVariable, (BSTR, BSTR*))                                                                    \
    X(raw_TSetProperty, TSetProperty, (BSTR, int, BSTR))                                                              \
    X(raw_TGetProperty, TGetProperty, (BSTR, int, BSTR*))                                                             \
    X(raw_TCallFrame, TCallFrame, (BSTR, int))                                                                        \
    X(raw_TCallLabel, TCallLabel, (BSTR, BSTR))                                                                       \
    X(raw_TSetPropertyNum, TSetPropertyNum, (BSTR, int, double))                                                      \
    X(raw_TGetPropertyNum, TGetPropertyNum, (BSTR, int, double*))                                                     \
    X(raw_TGetPropertyAsNumber, TGetPropertyAsNumber, (BSTR, int, double*))                                           \
    X(get_SWRemote, get_SWRemote, (BSTR*))                                                                            \
    X(put_SWRemote, put_SWRemote, (BSTR))                                                                             \
    X(get_FlashVars, get_FlashVars, (BSTR*))                                                                          \
    X(get_AllowScriptAccess, get_AllowScriptAccess, (BSTR*))                                                          \
    X(put_AllowScriptAccess, put_AllowScriptAccess, (BSTR))                                                           \
    X(get_MovieData, get_MovieData, (BSTR*))                                                                          \
    X(put_MovieData, put_MovieData, (BSTR))                                                                           \
    X(get_InlineData, get_InlineData, (IUnknown**))                                                                   \
    X(put_InlineData, put_InlineData, (IUnknown*))                                                                    \
    X(get_SeamlessTabbing, get_SeamlessTabbing, (VARIANT_BOOL*))                                                      \
    X(put_SeamlessTabbing, put_SeamlessTabbing, (VARIANT_BOOL))                                                       \
    X(raw_EnforceLocalSecurity, EnforceLocalSecurity, ())                                                             \
    X(get_Profile, get_Profile, (VARIANT_BOOL*))                                                                      \
    X(put_Profile, put_Profile, (VARIANT_BOOL))                                                                       \
    X(get_ProfileAddress, get_ProfileAddress, (BSTR*))                                                                \
    X(put_ProfileAddress, put_ProfileAddress, (BSTR))                                                                 \
    X(get_ProfilePort, get_ProfilePort, (long*))                                                                      \
    X(put_ProfilePort, put_ProfilePort, (long))                                                                       \
    X(raw_SetReturnValue, SetReturnValue, (BSTR))                                                                     \
    X(raw_DisableLocalSecurity, DisableLocalSecurity, ())                                                             \
    X(get_AllowNetworking, get_AllowNetworking, (BSTR*))                                                              \
    X(put_AllowNetworking, put_AllowNetworking, (BSTR))                                                               \
    X(get_AllowFullScreen, get_AllowFullScreen, (BSTR*))                                                              \
    X(put_AllowFullScreen, put_AllowFullScreen, (BSTR))
