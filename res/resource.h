// Identifiers of vpetest.exe's resources; included by vpetest.rc and by the program's code.
#pragma once

// Strings.
#define IDS_APP_TITLE 103             // VPETEST_WINDOW_TITLE: initial window title
#define IDC_ENGINEVEILPATHTESTENV 109 // VPETEST_WINDOW_CLASS; also main menu, accelerators

// The texts of strings 103 and 109. The harness loads them from its resources; the driver and
// the tests that find its main window use these macros, so the name is written only here.
#define VPETEST_WINDOW_TITLE L"EngineVeilpathTestEnv"
#define VPETEST_WINDOW_CLASS L"ENGINEVEILPATHTESTENV"

// Icon groups.
#define IDI_ENGINEVEILPATHTESTENV 107 // large class icon, also in the About box
#define IDI_SMALL 108                 // small class icon

// The About box and its icon control.
#define IDD_ABOUTBOX 103
#define IDC_ABOUT_ICON 2

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Menu commands.
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define ID_FILE_TEST 32782
#define ID_INSTALLATION_ISINSTALLED 32787
#define ID_INSTALLATION_INSTALL 32788
#define ID_INSTALLATION_UNINSTALL 32790
#define ID_CHECK_CHECKTEST 32792
#define ID_UPDATE_UPDATETEST 32796
#define ID_UPDATE_UPDATESTART 32797
#define ID_UPDATE_UPDATESTOP 32798
#define ID_UPDATE_ISUPDATERUNNING 32799
#define ID_UPDATE_ANALYSEUPDATELOG 32801
#define ID_CHECK_CHECKSTART 32802
#define ID_CHECK_ISCHECKRUNNING 32803
#define ID_CHECK_CHECKSTOP 32804
#define ID_CHECK_ANALYSECHECKLOG 32806
#define ID_ENGINE_START 32811
#define ID_ENGINE_STOP 32812
#define ID_ENGINE_ACTIVATEANONYMITY 32813
#define ID_ENGINE_DEACTIVATEANONYMITY 32814
#define ID_ENGINE_SURFCHECK 32816
#define ID_ENGINE_ISENGINERUNNING 32817
