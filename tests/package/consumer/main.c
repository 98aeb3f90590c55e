/* Reads the attendance log of the terminal at 127.0.0.1:PORT and prints how
 * many records it holds; built against an installed termlink. */
#include <stdio.h>
#include <stdlib.h>
#include <termlink.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: consumer PORT\n");
        return 2;
    }
    TL_HANDLE t = TL_Connect_NETEX("127.0.0.1", atoi(argv[1]), 0, 0, 0);
    if (!t) {
        fprintf(stderr, "connect failed: transport error %d\n", TL_LastError());
        return 1;
    }
    int count = 0, pin, y, mo, d, h, mi, s;
    unsigned char mode, state;
    while (TL_GetLog(t, &pin, &mode, &state, &y, &mo, &d, &h, &mi, &s) == 1) ++count;
    TL_Close(t);
    printf("%d records\n", count);
    return count > 0 ? 0 : 1;
}
