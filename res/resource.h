// Resource ids. Templates and the menu are named by string ("DIALOG_MAIN",
// "DIALOG_LOAD", "DIALOG_ABOUT", "MENU_1"), not by number.
#pragma once

// Icons
#define IDI_APP 1

// Strings
#define IDS_METADATA_BASE_URL 1

// Menu commands of MENU_1, and the commands without a menu item
#define IDM_LOAD 101
#define IDM_EXIT 102
#define IDM_FULLSCREEN 103
#define IDM_RESIZE_TO_WINDOW 104
#define IDM_MARK_105 105
#define IDM_SUPPORT 106
#define IDM_ABOUT 107
#define IDM_EXTERNAL_CALL_TEST 110

// Controls of DIALOG_MAIN
#define IDC_AXHOST 888

// Controls of DIALOG_LOAD
#define IDC_LOAD_PROMPT 101
#define IDC_LOAD_PATH 102
#define IDC_LOAD_BROWSE 103

// Controls of DIALOG_ABOUT
#define IDC_ABOUT_PRODUCT 101
#define IDC_ABOUT_COPYRIGHT 102
#define IDC_ABOUT_DEBUG 103
