// The program's version record, shared by the Windows .rc and the POSIX build.
// The numbers come from release.cmake, through the generated orvane_release.h.
#pragma once

#include "orvane_release.h"

#define ORVANE_VER_MAJOR ORVANE_RELEASE_MAJOR
#define ORVANE_VER_BUILD ORVANE_RELEASE_BUILD
#define ORVANE_VER_THIRD 0
#define ORVANE_VER_FOURTH 0
#define ORVANE_VER_COMMA ORVANE_RELEASE_MAJOR, ORVANE_RELEASE_BUILD, 0, 0
#define ORVANE_VER_TEXT ORVANE_RELEASE_VERSION_TEXT
#define ORVANE_VER_COMMENTS ORVANE_RELEASE_COMMENTS
#define ORVANE_VER_DESCRIPTION "OrvaneUpdate"
#define ORVANE_VER_INTERNAL "OrvaneUpdate"
#define ORVANE_VER_ORIGINAL "OrvaneUpdate.exe"
#define ORVANE_VER_PRODUCT "OrvaneUpdate"
#define ORVANE_VER_COMPANY "Orvane Systems"
#define ORVANE_VER_COPYRIGHT ORVANE_RELEASE_COPYRIGHT
#define ORVANE_VER_LANGUAGE 0x0409
#define ORVANE_VER_CODEPAGE 0x04B0
#define ORVANE_APP_TITLE "Orvane Update"
#define ORVANE_ABOUT_MENU "&About Orvane Update..."
#define ORVANE_ABOUT_CAPTION "About Orvane Update"
#define ORVANE_ABOUT_LINE2 "Firmware updater for Orvane steno writers"
