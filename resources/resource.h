#pragma once
// Resource and command ids shared by resources/quorvin.rc and the windows.
// Plain #defines: windres reads this file too.

// The main window's menu, accelerators, icon, toolbar bitmap and document string.
#define IDR_MAINFRAME 128
// The add-computer dialog.
#define IDD_ADD_COMPUTER 132
// Tree images: the computer list root (three networked computers) and one computer.
#define IDB_TREE_ROOT 133
#define IDB_TREE_COMPUTER 134
// Event images: error, information, warning, audit success, audit failure.
#define IDB_EVENT_ERROR 141
#define IDB_EVENT_INFORMATION 142
#define IDB_EVENT_WARNING 143
#define IDB_EVENT_AUDIT_SUCCESS 148
#define IDB_EVENT_AUDIT_FAILURE 149
// The computer tree's context menu.
#define IDR_TREE_CONTEXT 150

// Controls of the add-computer dialog.
#define IDC_COMPUTER_NAME 1000

// The program's commands.
#define ID_ADD_COMPUTER 32771
#define ID_START_COLLECTION 32773
#define ID_DELETE_COMPUTER 32776
#define ID_SAVE_RESULTS 32777
#define ID_HELP_CONTENTS 32780
#define ID_OPTIONS 32781
#define ID_QUICK_START 32786
#define ID_SAVE_COMPUTER_LIST 32790
#define ID_IMPORT_COMPUTER_LIST 32791

// The framework's command and string numbers that the program keeps.
#define ID_FILE_NEW 57600
#define ID_FILE_OPEN 57601
#define ID_FILE_SAVE 57603
#define ID_EDIT_COPY 57634
#define ID_EDIT_CUT 57635
#define ID_EDIT_PASTE 57637
#define ID_EDIT_UNDO 57643
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
#define ID_NEXT_PANE 57680
#define ID_PREV_PANE 57681
#define ID_VIEW_TOOLBAR 59392
#define ID_VIEW_STATUS_BAR 59393
#define IDS_APP_TITLE 57344
// Status bar indicators.
#define ID_INDICATOR_CAPS 59137
#define ID_INDICATOR_NUM 59138
#define ID_INDICATOR_SCRL 59139
#define ID_INDICATOR_KANA 59142
// File error texts, one per cause, %1 is the file's path.
#define IDS_FILE_ERROR_FIRST 61856
#define IDS_FILE_ERROR_LAST 61870

// Child window ids of the main window.
#define IDW_PANE_FIRST 59648
#define IDW_PANE_SECOND 59649
#define IDW_TOOLBAR 59392
#define IDW_STATUS_BAR 59393
#define IDW_REBAR 59419
