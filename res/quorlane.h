/* Identifiers of the Quorlane resources and commands, shared by the
   resource script and the program. */
#ifndef QUORLANE_RES_H
#define QUORLANE_RES_H

/* Help > About... */
#define IDM_ABOUT 1000

/* The Step menu of a series window, made at run time. */
#define IDM_STEP_NEXT 1100
#define IDM_STEP_PREVIOUS 1101
#define IDM_STEP_FIRST 1102
#define IDM_STEP_LAST 1103
#define IDM_STEP_PAGE_FORWARD 1104
#define IDM_STEP_PAGE_BACK 1105
#define IDM_STEP_PLAY 1106
#define IDM_STEP_GO_TO 1107

/* The Go to step box of a series window (Ctrl+G). */
#define IDC_STEP_PROMPT 301
#define IDC_STEP_NUMBER 302

/* About box controls (the OK button is IDOK, 1). */
#define IDC_ABOUT_NAME 204
#define IDC_ABOUT_VERSION 205
#define IDC_ABOUT_CREDIT1 206
#define IDC_ABOUT_CREDIT2 207
#define IDC_ABOUT_CREDIT3 208
#define IDC_ABOUT_ICON 209

#endif
