// The viewer's menu commands and window names. Its test drives the viewer through these, the way
// the menu does (WM_COMMAND with the command id), so they are shared here.
#pragma once

#define VIEWER_WINDOW_CLASS "QuorinViewerWindow"
#define VIEWER_TITLE "Quorin viewer"
#define VIEWER_SELECT_CAPTION "Select camera"

// Camera menu
#define IDM_LIVE 40001           // start or stop the live preview
#define IDM_SNAPSHOT 40002       // save the current image as a PNG still
#define IDM_RECORD 40003         // start or stop an AVI recording
#define IDM_SELECT_CAMERA 40004  // choose another attached camera
#define IDM_EXIT 40005
// Camera menu, "Record format" submenu: how the next recordings store their frames
#define IDM_RECORD_UNCOMPRESSED 40006  // uncompressed 24-bit frames
#define IDM_RECORD_MJPEG_90 40007      // Motion-JPEG, quality 90
#define IDM_RECORD_MJPEG_50 40008      // Motion-JPEG, quality 50
// Settings menu: the SDK's property dialogs
#define IDM_CAMERA_DIALOG 40011  // capture format
#define IDM_ANALOG_DIALOG 40012  // analog gain and exposure
#define IDM_FILTER_DIALOG 40013  // image and gray filters

#define IDC_STATUS_BAR 100
#define IDC_CAMERA_LIST 101      // the list in the camera selection dialog
// The SDK gives the preview window it creates inside ours this control id.
#define IDC_SDK_PREVIEW 6540
