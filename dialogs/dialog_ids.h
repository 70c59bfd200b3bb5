/* Resource ids of the property dialogs: the templates and their controls. Plain #defines so the
   resource scripts and the C++ code share one list. Control ids are per template: the same number
   may name different controls in different dialogs. */
#ifndef QUORIN_DIALOG_IDS_H
#define QUORIN_DIALOG_IDS_H

/* Templates: Japanese and English of each frame and page. */
#define IDD_CAMERA_FRAME_JA 101
#define IDD_FILTER_FRAME_JA 102
#define IDD_IMAGE_PAGE_JA 103
#define IDD_ANALOG_FRAME_JA 104
#define IDD_ANALOG_PAGE_JA 105
#define IDD_CAMERA_FRAME_EN 106
#define IDD_IMAGE_PAGE_EN 107
#define IDD_FILTER_FRAME_EN 108
#define IDD_ANALOG_PAGE_EN 110
#define IDD_ANALOG_FRAME_EN 111
#define IDD_GRAY_PAGE_EN 112
#define IDD_GRAY_PAGE_JA 113

/* Frame controls shared by every dialog. */
#define IDC_FRAME_DEFAULT 3 /* "Default(&D)" of the analog and filter frames */
#define IDC_FRAME_TAB 1001  /* owner-drawn fixed-width tab control */
#define IDC_FRAME_APPLY 1002 /* "Apply(&A)" of the camera dialog */

/* Camera dialog (on its frame template, no pages). */
#define IDC_CAMERA_COLOUR 1009
#define IDC_CAMERA_SIZE 1010
#define IDC_CAMERA_SUBSAMPLE 1012
#define IDC_CAMERA_CLOCK 1014
#define IDC_CAMERA_H_TOTAL 1039
#define IDC_CAMERA_V_TOTAL 1040
#define IDC_CAMERA_H_EFFECTIVE 1041
#define IDC_CAMERA_V_EFFECTIVE 1042
#define IDC_CAMERA_H_START 1043
#define IDC_CAMERA_V_START 1044
#define IDC_CAMERA_WAIT_TIME 1045

/* Analog page. */
#define IDC_ANALOG_GLOBAL_SLIDER 1013
#define IDC_ANALOG_GLOBAL_EDIT 1015
#define IDC_ANALOG_GLOBAL_SPIN 1038
#define IDC_ANALOG_G1_SLIDER 1018
#define IDC_ANALOG_G1_EDIT 1019
#define IDC_ANALOG_G1_SPIN 1039
#define IDC_ANALOG_R_SLIDER 1020
#define IDC_ANALOG_R_EDIT 1021
#define IDC_ANALOG_R_SPIN 1040
#define IDC_ANALOG_B_SLIDER 1022
#define IDC_ANALOG_B_EDIT 1023
#define IDC_ANALOG_B_SPIN 1041
#define IDC_ANALOG_G2_SLIDER 1024
#define IDC_ANALOG_G2_EDIT 1025
#define IDC_ANALOG_G2_SPIN 1042
#define IDC_ANALOG_EXPOSURE_SLIDER 1026
#define IDC_ANALOG_EXPOSURE_EDIT 1027
#define IDC_ANALOG_EXPOSURE_SPIN 1043
#define IDC_ANALOG_MIRROR_V 1028
#define IDC_ANALOG_MIRROR_H 1029
#define IDC_ANALOG_AUTO_GAIN 1036
#define IDC_ANALOG_AUTO_EXPOSURE 1037
#define IDC_ANALOG_EXPOSURE_TIME 1049

/* Image filter page: slider, edit, up-down of each value. */
#define IDC_IMAGE_BRIGHTNESS_SLIDER 2001
#define IDC_IMAGE_BRIGHTNESS_EDIT 2002
#define IDC_IMAGE_BRIGHTNESS_SPIN 2004
#define IDC_IMAGE_CONTRAST_SLIDER 2011
#define IDC_IMAGE_CONTRAST_EDIT 2012
#define IDC_IMAGE_CONTRAST_SPIN 2014
#define IDC_IMAGE_HUE_SLIDER 2021
#define IDC_IMAGE_HUE_EDIT 2022
#define IDC_IMAGE_HUE_SPIN 2024
#define IDC_IMAGE_SATURATION_SLIDER 2031
#define IDC_IMAGE_SATURATION_EDIT 2032
#define IDC_IMAGE_SATURATION_SPIN 2034
#define IDC_IMAGE_SHARPNESS_SLIDER 2041
#define IDC_IMAGE_SHARPNESS_EDIT 2042
#define IDC_IMAGE_SHARPNESS_SPIN 2044
#define IDC_IMAGE_R_GAIN_SLIDER 2051
#define IDC_IMAGE_R_GAIN_EDIT 2052
#define IDC_IMAGE_R_GAIN_SPIN 2054
#define IDC_IMAGE_G_GAIN_SLIDER 2061
#define IDC_IMAGE_G_GAIN_EDIT 2062
#define IDC_IMAGE_G_GAIN_SPIN 2063
#define IDC_IMAGE_B_GAIN_SLIDER 2071
#define IDC_IMAGE_B_GAIN_EDIT 2072
#define IDC_IMAGE_B_GAIN_SPIN 2073
#define IDC_IMAGE_GAMMA_SLIDER 2081
#define IDC_IMAGE_GAMMA_EDIT 2082
#define IDC_IMAGE_GAMMA_SPIN 2084

/* Shared by the image and gray pages. */
#define IDC_FILTER_ONCE 2074
#define IDC_FILTER_ALL_FRAMES 1035
#define IDC_FILTER_BAYER_MODE_0 1030 /* to 1033 for Bayer modes 0 to 3 */
#define IDC_FILTER_BAYER_MODE_1 1031
#define IDC_FILTER_BAYER_MODE_2 1032
#define IDC_FILTER_BAYER_MODE_3 1033

/* Gray page: value k (gains R, G1, G2, B, then offsets R, G1, G2, B) has slider 2100 + 3k,
   edit 2101 + 3k and up-down 2102 + 3k. */
#define IDC_GRAY_FIRST_SLIDER 2100
#define IDC_GRAY_MODE_BAYER 1046
#define IDC_GRAY_MODE_BAYER_CONVERT 1047
#define IDC_GRAY_MODE_GRAYSCALE 1048

#endif /* QUORIN_DIALOG_IDS_H */
