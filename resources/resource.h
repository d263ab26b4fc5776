// Resource ids of the program: dialogs, controls, icons, strings, images.
#pragma once

#define IDD_ABOUTBOX 100
#define IDD_QUONUPDATE100_DIALOG 102
#define IDR_MAINFRAME 128
#define IDB_LOGO 133
#define IDS_ABOUTBOX 101
#define IDS_APP_TITLE 57344
#define IDM_ABOUTBOX 0x0010
#define IDC_GO 1001
#define IDC_STATUS 1002
#define IDC_PROGRESS 1003  // dialog 102; 1003 in the About box is IDC_VERSION
#define IDC_VERSION 1003
#define IDC_BETA 1022
#define IDC_ABOUT_LINE2 1004
#define IDC_LOGO 1005
