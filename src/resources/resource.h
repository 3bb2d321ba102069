// Identifiers of the program's resources and of the controls in its templates.
#pragma once

#define IDI_CORVANE 1
#define IDD_MAIN 1
#define IDM_MAIN 1
#define IDM_TRACK_CONTEXT 2
#define IDD_SETTINGS 2

// Bitmaps: the splash and About picture, and the toolbar's images.
#define IDB_SPLASH 1
#define IDB_TOOL_EJECT 2
#define IDB_TOOL_SETTINGS 5
#define IDB_TOOL_LOAD 6
#define IDB_TOOL_RIP 7
#define IDB_TOOL_PLAY 9
#define IDB_TOOL_STOP 10

// The job window "LProgressDialog".
#define IDC_PROGRESS_LINE0 100
#define IDC_PROGRESS_LINE1 101
#define IDC_PROGRESS_BAR 102

// The About box "LAbout".
#define IDC_ABOUT_WEBPAGE 101
#define IDC_ABOUT_PANEL 999

// The main window.
#define IDC_DRIVES 101
#define IDC_TRACKS 102
#define IDC_OUTPUT_FOLDER 103
#define IDC_BROWSE 104
#define IDC_ARTIST 106
#define IDC_ALBUM 107
#define IDC_STATUS 111
#define IDC_LABEL_OUTPUT 201
#define IDC_LABEL_DRIVE 202
#define IDC_LABEL_ARTIST 203
#define IDC_LABEL_ALBUM 204
#define IDC_LINE_ABOVE_TOOLBAR 301
#define IDC_LINE_BELOW_TOOLBAR 302

// The Settings dialog.
#define IDC_OUTPUT_FORMAT 205
#define IDC_FORMAT_SETTINGS 206
#define IDC_USE_CDDB 207
#define IDC_NAME_ARTIST_TRACK 208
#define IDC_NAME_ALBUM_ARTIST_TRACK 209
#define IDC_NAME_FORMAT_LABEL 210
#define IDC_FLAC_LEVEL_LABEL 211
#define IDC_FLAC_LEVEL 212
#define IDC_READ_MODE 220
#define IDC_READ_OFFSET_DRIVE 221
#define IDC_READ_OFFSET 222
#define IDC_OVERREAD 223
#define IDC_DETECT_OFFSET 224

// The choice among inexact CDDB matches "LMatchDialog".
#define IDC_MATCHES 101

// The MP3 encoder's dialog "LMp3EncodeDlg".
#define IDC_MP3_CHANNEL_MODE 101
#define IDC_MP3_CBR 102
#define IDC_MP3_CBR_BITRATE 103
#define IDC_MP3_HIGH_QUALITY 104
#define IDC_MP3_VBR 105
#define IDC_MP3_VBR_MIN 106
#define IDC_MP3_VBR_MAX 107
#define IDC_MP3_VBR_QUALITY 108
#define IDC_MP3_CRC 109
#define IDC_MP3_RESTORE_DEFAULTS 110

// Commands of the main window's menus, keys and toolbar.
#define CM_RIP 1001
#define CM_EJECT 1002
#define CM_LOAD 1003
#define CM_SETTINGS 1004
#define CM_EDIT 1005
#define CM_RENAME 1006
#define CM_RESET 1007
#define CM_PLAY 1008
#define CM_STOP 1009
#define CM_EXIT 1011
#define CM_SELECT_ALL 2001
#define CM_SELECT_NONE 2002
#define CM_HELP_CONTENTS 6000
#define CM_WEB_FIRST 6001
#define CM_WEB_LAST 6013
#define CM_ABOUT 6015
// Posted by the setup file and the uninstaller to a running program, which
// takes no action on it.
#define CM_INSTALLER_STARTS 1048

// The install wizard's pages "LLicenceTermsDlg" and "LProductsDlg".
#define IDC_LICENCE_AGREE 101
#define IDC_LICENCE_DISAGREE 102
#define IDC_LICENCE_TEXT 103
// Each related program's check box, then its description.
#define IDC_RELATED_FIRST 101
// The wizard sheet's own Finish button.
#define IDC_WIZARD_FINISH_BUTTON 0x3025
