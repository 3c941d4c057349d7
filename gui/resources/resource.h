#pragma once
// Resource and command ids shared by resources/quorvin.rc and the windows.
// Plain #defines: windres reads this file too.

// The main window's menu, accelerators, icon, toolbar bitmap and document string.
#define IDR_MAINFRAME 128
// The about box, the add-computer dialog, the options and the quick-start pages.
#define IDD_ABOUTBOX 100
#define IDD_ADD_COMPUTER 132
#define IDD_OPTIONS 152
#define IDD_STEP_ONE 153
#define IDD_STEP_TWO 154
#define IDD_WELCOME 155
// Tree images: the computer list root (three networked computers) and one computer.
#define IDB_TREE_ROOT 133
#define IDB_TREE_COMPUTER 134
// The computer whose last run failed.
#define IDB_TREE_COMPUTER_FAILED 157
// Event images: error, information, warning, audit success, audit failure.
#define IDB_EVENT_ERROR 141
#define IDB_EVENT_INFORMATION 142
#define IDB_EVENT_WARNING 143
#define IDB_EVENT_AUDIT_SUCCESS 148
#define IDB_EVENT_AUDIT_FAILURE 149
// The computer tree's context menu.
#define IDR_TREE_CONTEXT 150
// The run's dialogs: start, progress, event detail, result.
#define IDD_START 135
#define IDD_PROGRESS 146
#define IDD_EVENT_DETAIL 147
#define IDD_RESULT 151
// The filter dialog of the event list.
#define IDD_FILTER 156

// Controls of the add-computer dialog: the name, the browse list, the
// domain box, its browse button and the servers-only box.
#define IDC_COMPUTER_NAME 1000
#define IDC_BROWSE_LIST 1020
#define IDC_DOMAIN 1021
#define IDC_GET_COMPUTER_LIST 1031
#define IDC_SHOW_ONLY_SERVER 1042

// Options dialog: the two switches, the day count, the alternate login.
#define IDC_USERNAME 1000
#define IDC_PASSWORD 1001
#define IDC_NO_MESSAGE_TIP 1036
#define IDC_NO_BROWSE_LIST 1037
#define IDC_ANOTHER_LOGIN 1038
#define IDC_DAY_BEFORE 1041
// Quick-start pages: the back button.
#define IDC_BACK 1045
// About box: the notice and the link to the maker's page.
#define IDC_NOTICE 1000
#define IDC_HOME_LINK 1035

// Start dialog: date pickers, open-end boxes, logs, other logs and event types.
#define IDC_START_DATE 1001
#define IDC_END_DATE 1002
#define IDC_TYPE_ERROR 1003
#define IDC_TYPE_WARNING 1004
#define IDC_TYPE_INFORMATION 1005
#define IDC_LOG_SYSTEM 1006
#define IDC_LOG_SECURITY 1007
#define IDC_LOG_APPLICATION 1008
#define IDC_FROM_LOG_START 1013
#define IDC_TO_LOG_END 1014
#define IDC_TYPE_AUDIT_SUCCESS 1030
#define IDC_TYPE_AUDIT_FAILURE 1031
// The other logs: channel names separated by ";".
#define IDC_OTHER_LOGS 1048
// Progress dialog: status line, bar, stop button.
#define IDC_PROGRESS_TEXT 1000
#define IDC_PROGRESS_BAR 1023
#define IDC_STOP 1046
// Result dialog: the report and its copy button.
#define IDC_REPORT 1000
#define IDC_COPY 1044
// The summary of the run per computer, above the report.
#define IDC_RESULT_SUMMARY 1047
// Event detail dialog: the fields and the step buttons.
#define IDC_DETAIL_MESSAGE 1000
#define IDC_DETAIL_COMPUTER 1026
#define IDC_DETAIL_SOURCE 1027
#define IDC_DETAIL_TIME 1028
#define IDC_DETAIL_PREVIOUS 1029
#define IDC_DETAIL_LOG 1030
#define IDC_DETAIL_NEXT 1031
#define IDC_DETAIL_EVENT_ID 1032
#define IDC_DETAIL_TYPE 1033
// Filter dialog: event types, logs, the four texts, the clear button, the channels.
#define IDC_FILTER_INFORMATION 1101
#define IDC_FILTER_ERROR 1102
#define IDC_FILTER_WARNING 1103
#define IDC_FILTER_AUDIT_SUCCESS 1104
#define IDC_FILTER_AUDIT_FAILURE 1105
#define IDC_FILTER_SYSTEM 1106
#define IDC_FILTER_SECURITY 1107
#define IDC_FILTER_APPLICATION 1108
#define IDC_FILTER_COMPUTERS 1109
#define IDC_FILTER_SOURCES 1110
#define IDC_FILTER_EVENT_IDS 1111
#define IDC_FILTER_TEXT 1112
#define IDC_FILTER_CLEAR 1113
#define IDC_FILTER_CHANNELS 1114

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
#define ID_VIEW_FILTER 32795
#define ID_VIEW_CLEAR_FILTER 32796
#define ID_VIEW_SUMMARY 32797
#define ID_OPEN_LOG_FILES 32798

// The framework's command and string numbers that the program keeps.
#define ID_FILE_NEW 57600
#define ID_FILE_OPEN 57601
#define ID_FILE_SAVE 57603
#define ID_EDIT_COPY 57634
#define ID_EDIT_CUT 57635
#define ID_EDIT_PASTE 57637
#define ID_EDIT_SELECT_ALL 57642
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
#define IDW_DOCKBAR 59419
