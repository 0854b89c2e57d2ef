// Resource identifiers of the runner.
#pragma once

#define IDR_MAINFRAME 128

#define IDD_TOBRIN_DIALOG 102
#define IDC_PROGRESS 1007

#define IDD_MESSAGE_BOX 129
#define IDC_LEFT_BUTTON 1000
#define IDC_RIGHT_BUTTON 1001
#define IDC_MESSAGE_TEXT 1002
#define IDC_HIDDEN_CHECK 1003

#define IDS_FONT_FACE 102
#define IDS_OK_TEXT 104
#define IDS_CANCEL_TEXT 105
