/* The public header compiles as C and the shared library links and answers
 * from a C program, the way host applications use it. */
#include <stdio.h>

#include "termlink.h"

int main(void) {
    int failures = 0;
    if (TL_Close(NULL) != -1) {
        puts("TL_Close(NULL) should be -1");
        ++failures;
    }
    if (TL_Connect_COM("COM1", 1, 0, 0, 0, 0, NULL) != NULL) {
        puts("a serial connect at baud 0 should open nothing");
        ++failures;
    }
    if (TL_ReadRTLog(NULL) != -1 || TL_GetRTLog(NULL, NULL, NULL) != -1) {
        puts("null sessions should give -1");
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
