/* Opens and closes a transport to 127.0.0.1:PORT through an installed
 * libportmux, whose TCP plug-in must be found in the installed tree. */
#include <portmux.h>
#include <portmux_errors.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    PMX_HANDLE h = PMX_INIT("tcpwire.dll", "127.0.0.1", atoi(argv[1]), 0, 0, 0, 0, 0);
    if (!h) {
        fprintf(stderr, "PMX_INIT failed: %d (plug-in missing: %d)\n", PMX_LASTERROR(),
                PMXE_PLUGIN_LOAD);
        return 1;
    }
    PMX_CLOSE(h);
    return 0;
}
