// Resource numbers and the texts of the status dialog template, shared by the
// resource script and the simulated machine so that both show the same window.
// Plain preprocessor definitions: the resource compiler reads this file too.
#ifndef KWUNINST_RESOURCES_RESOURCE_H_
#define KWUNINST_RESOURCES_RESOURCE_H_

#define IDD_KWUNINST_STATUS 102
#define IDR_MAINFRAME 128
#define IDC_STATUS_TEXT 1001

// The caption keeps its two leading blanks: that is how the window has always
// looked in the task bar.
#define KW_STATUS_CAPTION "  K-WARD Uninstall"
#define KW_STATUS_INITIAL_TEXT "Static"

// Template geometry, in dialog units.
#define KW_STATUS_WIDTH_DLU 144
#define KW_STATUS_HEIGHT_DLU 32

#endif  // KWUNINST_RESOURCES_RESOURCE_H_
