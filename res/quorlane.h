/* Identifiers of the Quorlane resources and commands, shared by the
   resource script and the program. */
#ifndef QUORLANE_RES_H
#define QUORLANE_RES_H

/* Help > About... */
#define IDM_ABOUT 1000

/* About box controls (the OK button is IDOK, 1). */
#define IDC_ABOUT_NAME 204
#define IDC_ABOUT_VERSION 205
#define IDC_ABOUT_CREDIT1 206
#define IDC_ABOUT_CREDIT2 207
#define IDC_ABOUT_CREDIT3 208
#define IDC_ABOUT_ICON 209

#endif
