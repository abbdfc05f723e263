// Resource ids of the test dialogs (ui_test.rc).
#pragma once

#define IDD_CONTROLS 100
#define IDD_TABS 101
#define IDD_PAGE_A 102
#define IDD_PAGE_B 103
#define IDD_PLAIN 105

#define IDC_PRESS 1001
#define IDC_CHECK 1002
#define IDC_EDIT 1003
#define IDC_COMBO 1004
#define IDC_LISTVIEW 1006
#define IDC_SPIN_EDIT 1007
#define IDC_SPIN 1008
#define IDC_TAB 1011
#define IDC_LABEL 1012
