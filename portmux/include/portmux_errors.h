/* Codes returned by PMX_LASTERROR. The last error is kept per thread and is
 * only written when an operation fails; 0 means no operation on this thread
 * has failed yet. */
#ifndef PORTMUX_ERRORS_H
#define PORTMUX_ERRORS_H

enum {
    PMXE_NONE = 0,           /* nothing has failed on this thread */
    PMXE_BAD_ARGUMENT = 1,   /* null pointer, negative length, unusable baud or port */
    PMXE_BAD_HANDLE = 2,     /* null, closed or unknown handle */
    PMXE_UNKNOWN_PLUGIN = 3, /* plug-in name is not one of the four known names */
    PMXE_PLUGIN_LOAD = 4,    /* plug-in module missing or not a portmux plug-in */
    PMXE_OPEN = 5,           /* address not resolved, connection refused, device not opened */
    PMXE_TIMEOUT = 6,        /* the terminal stayed silent for the whole timeout */
    PMXE_AUTH = 7,           /* the terminal refused the communication key */
    PMXE_CLOSED = 8,         /* the terminal closed the connection */
    PMXE_PROTOCOL = 9,       /* the terminal answered with frames that make no sense */
    PMXE_TOO_LARGE = 10,     /* the reply does not fit the caller's buffer; nothing was cut */
    PMXE_NO_MEMORY = 11,     /* an allocation failed */
    PMXE_IO = 12,            /* the operating system refused a send or receive */
    PMXE_SESSION = 13,       /* the terminal no longer knows this session (it restarted) */
    PMXE_REFUSED_DATA = 14   /* the terminal would not take that much data */
};

#endif /* PORTMUX_ERRORS_H */
