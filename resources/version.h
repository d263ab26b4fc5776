// The program's version record, shared by the Windows .rc and the POSIX build.
#pragma once

#define ORVANE_VER_MAJOR 1
#define ORVANE_VER_BUILD 35680
#define ORVANE_VER_THIRD 0
#define ORVANE_VER_FOURTH 0
#define ORVANE_VER_COMMA 1, 35680, 0, 0
#define ORVANE_VER_TEXT "1.35680.0.0"
#define ORVANE_VER_COMMENTS "Build 35680"
#define ORVANE_VER_DESCRIPTION "OrvaneUpdate"
#define ORVANE_VER_INTERNAL "OrvaneUpdate"
#define ORVANE_VER_ORIGINAL "OrvaneUpdate.exe"
#define ORVANE_VER_PRODUCT "OrvaneUpdate"
#define ORVANE_VER_COMPANY "Orvane Systems"
#define ORVANE_VER_COPYRIGHT "Copyright (C) 2026"
#define ORVANE_VER_LANGUAGE 0x0409
#define ORVANE_VER_CODEPAGE 0x04B0
#define ORVANE_APP_TITLE "Orvane Update"
#define ORVANE_ABOUT_MENU "&About Orvane Update..."
#define ORVANE_ABOUT_CAPTION "About Orvane Update"
#define ORVANE_ABOUT_LINE2 "Firmware updater for Orvane steno writers"
