// Resource and control IDs, shared by the resource script and the code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_VELKARO_DIALOG 102
#define IDR_MAINFRAME 130
#define IDI_RED_CHECK 131
#define IDI_BLACK_CHECK 132
#define IDI_RED_QUESTION 133
#define IDI_RED_CROSS 134

#define IDC_RADIO_OVERCLOCK 1000
#define IDC_RADIO_STOCK 1001

// The main window's caption: the installer and the tests find a running copy by it.
#define TENDRAL_MAIN_WINDOW_CAPTION "Ormund"

// System-menu command of the About item.
#define IDM_ABOUTBOX 0x0010
