// Ids of the program's resources, shared by the resource script and the code.
//
// Control ids repeat between dialogs (1008 is the status line of the main window, the file path of
// Save Results and the minimum size of the size/date page), so each name carries its dialog's prefix.
#ifndef LVX_RESOURCE_H
#define LVX_RESOURCE_H

// Dialogs
#define IDD_ABOUTBOX            100  // system menu "About" (command IDM_ABOUTBOX)
#define IDD_MAIN                102  // the main window, class LVX_MAIN_WINDOW_CLASS
#define IDD_TOOLBAR_PAGE        131
#define IDD_SIZEDATE_PAGE       137
#define IDD_ADVANCED_PAGE       138
#define IDD_EDIT_TOOLBAR        139
#define IDD_ADD_TBBUTTON        140
#define IDD_SAVE_RESULTS        147
#define IDD_WELCOME             152
#define IDD_ABOUT               156  // Help > About...
#define IDD_SELECT_DRIVES       167
#define IDD_UPDATE_LOCATION     182
#define IDD_SETTINGS            184
#define IDD_PAGE_GENERAL        185
#define IDD_UPDATER             186

// Menus and accelerators
#define IDR_MAINMENU            130
#define IDR_LISTMENU            142  // "LISTMENU": the result menu (its first popup)
#define IDR_TRAYMENU            144  // "TRAYMENU": the tray menu (its first popup)
#define IDR_ACCELERATORS        168

// Icons
#define IDI_MORE                161  // the toolbar's "more" button
#define IDI_LUMIVEX             167  // the program, its windows and the notification area

// Strings
#define IDS_ABOUTBOX            101  // "&About Lumivex ..." on the system menu

// Default settings files, type "RT_INIFILE"
#define IDR_INI_FILEVERSION     179
#define IDR_INI_STATEINFO       180
#define IDR_INI_SETTINGS        181

// The main window's own dialog class (a copy of "#32770" registered before the window exists).
#define LVX_MAIN_WINDOW_CLASS   "LVXWND_UnicodeClass"

// System menu command that opens IDD_ABOUTBOX.
#define IDM_ABOUTBOX            0x0010

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif

// IDD_MAIN
#define IDC_MAIN_RESULTS        1001  // results list: report view, owner data
#define IDC_MAIN_FOLDER         1003  // location box
#define IDC_MAIN_SEARCH         1004
#define IDC_MAIN_STATUS         1008  // status line (read-only edit)
#define IDC_MAIN_BROWSE         1015
#define IDC_MAIN_PATTERN        1018  // pattern box
#define IDC_MAIN_SORT_TABS      1042
#define IDC_MAIN_REFINE_LABEL   1050  // hidden; its text is the refine-mode label's

// IDD_ADVANCED_PAGE
#define IDC_ADV_SEARCH_FOR      1002
#define IDC_ADV_NO_SUBDIRS      1007
#define IDC_ADV_ALLOW_ONE_CHAR  1042

// IDD_SIZEDATE_PAGE
#define IDC_SD_USE_MIN          1007
#define IDC_SD_MIN              1008
#define IDC_SD_MIN_SPIN         1009
#define IDC_SD_USE_MAX          1010
#define IDC_SD_MAX              1011
#define IDC_SD_MAX_SPIN         1012
#define IDC_SD_USE_FROM         1013
#define IDC_SD_FROM             1014
#define IDC_SD_USE_TO           1015
#define IDC_SD_TO               1016

// IDD_EDIT_TOOLBAR
#define IDC_ETB_LIST            1001
#define IDC_ETB_PREVIEW         1004  // owner-drawn "TestBtn"
#define IDC_ETB_ICON_BROWSE     1005
#define IDC_ETB_LOCATION_BROWSE 1006
#define IDC_ETB_TEXT            1009
#define IDC_ETB_ACTION          1010
#define IDC_ETB_LOCATION        1011
#define IDC_ETB_SAVE            1015
#define IDC_ETB_CANCEL          1016
#define IDC_ETB_UP              1017
#define IDC_ETB_DOWN            1018
#define IDC_ETB_DEL             1019
#define IDC_ETB_ADD             1020

// IDD_ADD_TBBUTTON
#define IDC_ATB_ADD             1004
#define IDC_ATB_CANCEL          1005
#define IDC_ATB_TEXT            1011
#define IDC_ATB_ACTION          1012
#define IDC_ATB_LOCATION        1013
#define IDC_ATB_ICON_BROWSE     1015
#define IDC_ATB_PREVIEW         1016  // owner-drawn "BtnTest"
#define IDC_ATB_LOCATION_BROWSE 1017

// IDD_SAVE_RESULTS
#define IDC_SAVE_BROWSE         1004
#define IDC_SAVE_SELECTED_ONLY  1007
#define IDC_SAVE_FILE_PATH      1008
#define IDC_SAVE_FORMAT         1009
#define IDC_SAVE_FILE_PATH_LABEL 1048
#define IDC_SAVE_FORMAT_LABEL   1049

// IDD_ABOUT, IDD_ABOUTBOX, IDD_WELCOME
#define IDC_ABOUT_VERSION       1024
#define IDC_ABOUT_VISIT         1026
#define IDC_WEB_LINK            1027

// IDD_SELECT_DRIVES
#define IDC_DRIVES_LIST         1039
#define IDC_DRIVES_OK           1040
#define IDC_DRIVES_CANCEL       1041
#define IDC_DRIVES_AUTO_REMOVABLE 1043

// IDD_UPDATE_LOCATION
#define IDC_UPDLOC_BROWSE       1054
#define IDC_UPDLOC_NO_SUBDIRS   1055
#define IDC_UPDLOC_LOCATION     1056

// IDD_SETTINGS, IDD_PAGE_GENERAL
#define IDC_SETTINGS_TABS       1000
#define IDC_GEN_AUTOSTART       1057
#define IDC_GEN_REALTIME        1058
#define IDC_GEN_CHECK_INTEGRITY 1059
#define IDC_GEN_SHOW_WARNINGS   1060
#define IDC_GEN_CHECK_UPDATES   1062
#define IDC_GEN_UPDATE_INTERVAL 1063

// IDD_UPDATER
#define IDC_UPDATER_PROGRESS    1061

// Windows the toolbar page and its dialogs create themselves
#define ID_TOOLBAR_BUTTON       2000
#define ID_TOOLBAR_MORE         2001
#define ID_TOOLBAR_OVERFLOW_FIRST 2010  // + button index
#define ID_DIALOG_TBBUTTON      3000

// Main menu (IDR_MAINMENU)
#define ID_FILE_EXIT                  32771
#define ID_HELP_ABOUT                 32772
#define ID_FILE_SAVE_RESULTS          32773
#define ID_VIEW_SORT_NAME             32776
#define ID_VIEW_SORT_LOCATION         32777
#define ID_VIEW_SORT_SIZE             32778
#define ID_VIEW_SORT_TYPE             32779
#define ID_VIEW_SORT_DATE             32782
#define ID_TOOLS_CUSTOMIZE_TOOLBAR    32783
#define ID_FILE_SAVE_CACHE_AS         32785
#define ID_VIEW_REFRESH               32786
#define ID_HELP_CONTENT               32788
#define ID_TOOLS_DEFRAG_CACHE         32792
#define ID_EDIT_SELECT_ALL            32794
#define ID_FILE_LOAD_CACHE            32821
#define ID_TOOLS_CLEAN_SEARCH_HISTORY 32829
#define ID_TOOLS_CLEAN_LOCATION_HISTORY 32830
#define ID_TOOLS_SELECT_DRIVES        32846
#define ID_HELP_CHECK_UPDATES         32855
#define ID_VIEW_FONT                  32857
#define ID_VIEW_STYLE_WINDOWS         32866
#define ID_VIEW_STYLE_VISTA           32867
#define ID_TOOLS_REFINE_MODE          32874
#define ID_EDIT_COPY_FILES            32877
#define ID_EDIT_DELETE_FILES          32878
#define ID_TOOLS_UPDATE_CACHE         32883
#define ID_TOOLS_PAUSE_UPDATING       32884
#define ID_TOOLS_STOP_UPDATING        32889
#define ID_TOOLS_UPDATE_LOCATION      32890
#define ID_TOOLS_SETTINGS             32891

// Result menu (IDR_LISTMENU)
#define ID_LIST_OPEN                  32797
#define ID_LIST_BROWSE_FOLDER         32799
#define ID_LIST_COMMAND_PROMPT        32800
#define ID_LIST_DELETE                32803
#define ID_LIST_COPY                  32805
#define ID_LIST_BROWSE_FILE           32808
#define ID_LIST_COPY_FULL_PATH        32809
#define ID_LIST_COPY_LOCATION         32811
#define ID_LIST_SEARCH_SAME_FOLDER    32812
#define ID_LIST_SEARCH_THIS_FOLDER    32833

// Tray menu (IDR_TRAYMENU)
#define ID_TRAY_OPEN                  32813
#define ID_TRAY_EXIT                  32814
#define ID_TRAY_UPDATE_CACHE          32885
#define ID_TRAY_STOP_UPDATING         32886
#define ID_TRAY_PAUSE_UPDATING        32887

// Accelerators (IDR_ACCELERATORS); Ctrl+C, Del and Ctrl+R carry the menu commands above.
#define ID_ACCEL_SELECT_ALL           32853
#define ID_ACCEL_SORT_NAME            32858
#define ID_ACCEL_SORT_LOCATION        32859
#define ID_ACCEL_SORT_SIZE            32860
#define ID_ACCEL_SORT_TYPE            32861
#define ID_ACCEL_SORT_DATE            32862
#define ID_ACCEL_UNSORTED             32863
#define ID_ACCEL_CONTEXT_MENU         32868
#define ID_ACCEL_SHIFT_CONTEXT_MENU   32869

#endif  // LVX_RESOURCE_H
