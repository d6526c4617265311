#pragma once
// Resource identifiers of the window: dialog templates, controls, pictures, the About entry.
// Controls keep their numbers as the "controlId" property and their names as objectName, so
// code and tests find them by either (CSolverDlg::GetDlgItem).

// Dialog templates.
#define IDD_ABOUT 100
#define IDD_MAIN 102

// Strings.
#define IDS_ABOUT_MENU 101

// Pictures (compiled in from res/kelvora.qrc).
#define IDC_PICK_CURSOR 105
#define IDI_APP 128
#define IDB_BASE_MARK 129

// System-menu command of the About entry: low four bits clear. System commands compare with
// their low four bits masked off (SC_MASK).
#define IDM_ABOUT 0x0010
// System-menu command of the evolution window's entry (Ctrl+G).
#define IDM_EVOLUTION 0x0020
#define SC_MASK 0xFFF0
#define SC_CLOSE 0xF060

// The default push button, Compute.
#define IDOK 1

// Controls of template 102.
#define IDC_POPULATION_SIZE 1000
#define IDC_GENERATION_LIMIT 1001
#define IDC_CROSSOVER_RATE 1002
#define IDC_MUTATION_PROBABILITY 1003
#define IDC_GENERATION 1004
#define IDC_ERROR 1005
#define IDC_TARGET_X 1006
#define IDC_TARGET_Y 1007
#define IDC_POINTER_X 1008
#define IDC_POINTER_Y 1009

// Resource paths of the pictures.
#define RES_APP_ICON_32 ":/kelvora/kelvora-32.png"
#define RES_APP_ICON_16 ":/kelvora/kelvora-16.png"
#define RES_PICK_CURSOR ":/kelvora/pick-cursor.xbm"
#define RES_PICK_CURSOR_MASK ":/kelvora/pick-cursor-mask.xbm"
#define RES_BASE_MARK ":/kelvora/basemark.bmp"

// Hot spot of the pick cursor: the tip of its arrow.
#define PICK_CURSOR_HOT_X 1
#define PICK_CURSOR_HOT_Y 1
