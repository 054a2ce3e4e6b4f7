// Resource ids shared by the resource script and the code.
#define IDR_MAINFRAME 7

// Dialog templates
#define IDD_VORLANCLIENT_DIALOG 102
#define IDD_CONTROLLERS 130
#define IDD_SIMPLE_CONTENT 176

// Backgrounds (type "PNG") and button bitmaps
#define IDR_PNG_BACKGROUND 143
#define IDR_PNG_SIMPLE_BACKGROUND 178
#define IDB_CLOSE 135
#define IDB_CLOSE_DOWN 151
#define IDB_MINIMIZE 171
#define IDB_MINIMIZE_DOWN 172

// Controls of the content dialogs
#define IDC_BTN_CLOSE 8
#define IDC_BROWSER 1001
#define IDC_BTN_MINIMIZE 1006
#define IDC_PROGRESS 1008
#define IDC_LBL_LOAD 1009
#define IDC_LBL_CHECK 1010
#define IDC_LBL_START 1012
