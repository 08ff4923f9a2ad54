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

// Template geometry, in dialog units.  The status line is wide enough for
// the longest status, "Removing Sentryx from DOSSTART.BAT . . . " (144 to
// 149 units in MS Sans Serif and in the fonts Wine puts in its place), with
// room to spare: a status that wraps shows only its first half, the rest
// falls below the line.  The window keeps the line's margins, 10 units on
// the left and 9 on the right.
#define KW_STATUS_WIDTH_DLU 179
#define KW_STATUS_HEIGHT_DLU 32
#define KW_STATUS_LINE_WIDTH_DLU 160

#endif  // KWUNINST_RESOURCES_RESOURCE_H_
