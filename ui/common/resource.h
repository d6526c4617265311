#pragma once
// Resource identifiers of the window, as typed constants: dialog templates, controls, pictures, the About entry.
// Controls keep their numbers as the "controlId" property and their names as objectName, so
// code and tests find them by either (CSolverDlg::GetDlgItem).

namespace kelvora::ui {

// Dialog templates.
inline constexpr int IDD_ABOUT = 100;
inline constexpr int IDD_MAIN = 102;

// Strings.
inline constexpr int IDS_ABOUT_MENU = 101;

// Pictures (compiled in from res/kelvora.qrc).
inline constexpr int IDC_PICK_CURSOR = 105;
inline constexpr int IDI_APP = 128;
inline constexpr int IDB_BASE_MARK = 129;

// System-menu command of the About entry: low four bits clear. System commands compare with
// their low four bits masked off (SC_MASK).
inline constexpr unsigned IDM_ABOUT = 0x0010u;
// System-menu command of the evolution window's entry (Ctrl+G).
inline constexpr unsigned IDM_EVOLUTION = 0x0020u;
inline constexpr unsigned SC_MASK = 0xFFF0u;
inline constexpr unsigned SC_CLOSE = 0xF060u;

// The default push button, Compute.
inline constexpr int IDOK = 1;

// Controls of template 102.
inline constexpr int IDC_POPULATION_SIZE = 1000;
inline constexpr int IDC_GENERATION_LIMIT = 1001;
inline constexpr int IDC_CROSSOVER_RATE = 1002;
inline constexpr int IDC_MUTATION_PROBABILITY = 1003;
inline constexpr int IDC_GENERATION = 1004;
inline constexpr int IDC_ERROR = 1005;
inline constexpr int IDC_TARGET_X = 1006;
inline constexpr int IDC_TARGET_Y = 1007;
inline constexpr int IDC_POINTER_X = 1008;
inline constexpr int IDC_POINTER_Y = 1009;

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
