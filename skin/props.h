// The named window properties of the skin toolkit. Per-control state lives in these
// properties on the control or window itself; the skin objects hold only their bound handle.
#pragma once

namespace sonaro::skin::prop {

inline constexpr const char* kType = "PngControl_Type";          // 3 image button, 4 text box
inline constexpr const char* kBackType = "PngControl_BackType";  // 1 stretch, 2 fit, else natural
inline constexpr const char* kBackImage = "PngControl_BackImage";
inline constexpr const char* kBackColor = "PngControl_BackColor";
inline constexpr const char* kBackAlpha = "PngControl_BackAlpha";
inline constexpr const char* kOrderColor = "PngControl_OrderColor";  // the border colour
inline constexpr const char* kOrderAlpha = "PngControl_OrderAlpha";
inline constexpr const char* kTextColor = "PngControl_TextColor";
inline constexpr const char* kNormalImage = "PngControl_NormalImage";
inline constexpr const char* kOverImage = "PngControl_OverlImage";
inline constexpr const char* kDownImage = "PngControl_DownImage";
inline constexpr const char* kDisableImage = "PngControl_DisableImage";
inline constexpr const char* kDrawState = "Zuder_DrawState";  // 0 normal 1 over 2 down 3 disabled
inline constexpr const char* kIsFocus = "PngControl_IsFoucs";
inline constexpr const char* kCacheBitmap = "PngControl_CacheBitmap";
inline constexpr const char* kWndProc = "PngControl_WndProc";
inline constexpr const char* kChildWndProc = "PngControl_ChildWndProc";
inline constexpr const char* kTime = "PngControl_Time";
inline constexpr const char* kToolTips = "Zuder_ToolTips";
inline constexpr const char* kZuderImage = "Zuder_Image";
inline constexpr const char* kZuderStream = "Zuder_Stream";
inline constexpr const char* kZuderFrameCount = "Zuder_FrameCount";
inline constexpr const char* kZuderThread = "Zuder_Thread";
inline constexpr const char* kHitMove = "ZuderHitMove";

}  // namespace sonaro::skin::prop

namespace sonaro::skin {

// Control kinds stored in "PngControl_Type".
inline constexpr int kKindImageButton = 3;
inline constexpr int kKindTextBox = 4;

// Draw states stored in "Zuder_DrawState".
inline constexpr int kStateNormal = 0;
inline constexpr int kStateOver = 1;
inline constexpr int kStateDown = 2;
inline constexpr int kStateDisabled = 3;

// Back types stored in "PngControl_BackType".
inline constexpr int kBackStretch = 1;
inline constexpr int kBackFit = 2;

}  // namespace sonaro::skin
