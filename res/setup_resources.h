// Identifiers and header fields of the program's resources, shared by the
// resource script and the C++ code (plain #defines: the resource compiler
// reads this file too).
#pragma once

#define IDD_SETUP 141          // the setup dialog
#define IDB_LOGO 147           // 64 x 64, 16 colours: the logo at the top left
#define IDB_MENU_PICTURE 151   // 307 x 175, 16 colours: the completion view's picture
#define IDI_SETUP 1            // icon group: 48, 32, 16 px at 4, 8, 32 bpp
// The two pictures drawn for displays at 125, 150 and 200 %: bitmap id * 10
// + 1, 2, 3 (platform::ScaledBitmapId), the dialog takes the nearest. They
// are RCDATA: range-coded pictures (platform/packed_artwork.h).
#define IDB_LOGO_125 1471          // 80 x 80, 16 colours
#define IDB_LOGO_150 1472          // 96 x 96
#define IDB_LOGO_200 1473          // 128 x 128
#define IDB_MENU_PICTURE_125 1511  // 384 x 219, 16 colours
#define IDB_MENU_PICTURE_150 1512  // 461 x 263
#define IDB_MENU_PICTURE_200 1513  // 614 x 350

#define SETUP_DIALOG_CAPTION "V-批打印软件安装"
#define SETUP_DIALOG_STYLE 0x80CA00C0    // popup, caption, system menu, minimize box, modal frame, own font
#define SETUP_DIALOG_EXSTYLE 0x00000200  // client edge
#define SETUP_DIALOG_FONT_POINTS 9
#define SETUP_DIALOG_FONT_FACE "宋体"
#define SETUP_DIALOG_FONT_CHARSET 1
#define SETUP_DIALOG_LANGUAGE 0x0804     // Chinese (PRC), 2052

// Window styles the control table uses (winuser.h numbers), so that the
// table needs no system header.
#define SETUP_WS_TABSTOP 0x00010000
#define SETUP_WS_GROUP 0x00020000
#define SETUP_WS_BORDER 0x00800000
#define SETUP_BS_PUSHBUTTON 0x0
#define SETUP_BS_AUTOCHECKBOX 0x3
#define SETUP_SS_LEFT 0x0
#define SETUP_SS_CENTER 0x1
#define SETUP_SS_BITMAP 0xE
#define SETUP_SS_ETCHEDHORZ 0x10
#define SETUP_ES_AUTOHSCROLL 0x80
