/* Prints the screen metrics the program centres its windows with, as Wine
   reports them: SM_CXSCREEN SM_CYSCREEN SM_CXFULLSCREEN SM_CYFULLSCREEN. */
#include <stdio.h>
#include <windows.h>

int main(void) {
    printf("%d %d %d %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
           GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN));
    return 0;
}
