#pragma once
// Resource identifiers of the window's pictures and strings, and where the pictures are.

namespace kelvora::ui {

// Strings.
inline constexpr int IDS_ABOUT_MENU = 101;

// Pictures (compiled in from res/kelvora.qrc).
inline constexpr int IDC_PICK_CURSOR = 105;
inline constexpr int IDI_APP = 128;
inline constexpr int IDB_BASE_MARK = 129;

// Resource paths of the pictures.
inline constexpr char RES_APP_ICON_32[] = ":/kelvora/kelvora-32.png";
inline constexpr char RES_APP_ICON_16[] = ":/kelvora/kelvora-16.png";
inline constexpr char RES_PICK_CURSOR[] = ":/kelvora/pick-cursor.xbm";
inline constexpr char RES_PICK_CURSOR_MASK[] = ":/kelvora/pick-cursor-mask.xbm";
inline constexpr char RES_BASE_MARK[] = ":/kelvora/basemark.bmp";

// Hot spot of the pick cursor: the tip of its arrow.
inline constexpr int PICK_CURSOR_HOT_X = 1;
inline constexpr int PICK_CURSOR_HOT_Y = 1;

}  // namespace kelvora::ui
