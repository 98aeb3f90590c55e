/* Binds every export of termlink.dll by its exact name, as VB, Delphi and C#
 * hosts do, and calls a representative set through pointers of the declared
 * convention with null sessions (no terminal needed). On 32-bit Windows each
 * call is made with the table's argument count pushed by hand, and the stack
 * pointer must be the same afterwards: a callee that removes too few or too
 * many bytes (a convention or argument-count mismatch) moves it.
 *   termlink_binding EXPORT_TABLE     (termlink.dll beside the program) */
#include <windows.h>

#include <stdio.h>
#include <string.h>

struct Export {
    char exported[64], plain[64], convention[16];
    int args;
};

static struct Export g_table[512];
static int g_count;

static int ReadTable(const char* path) {
    FILE* f = fopen(path, "r");
    char line[256];
    if (!f) return 0;
    while (fgets(line, sizeof line, f) && g_count < 512) {
        struct Export* e = &g_table[g_count];
        if (line[0] == '#') continue;
        if (sscanf(line, "%63s %63s %d %15s", e->exported, e->plain, &e->args, e->convention) == 4)
            ++g_count;
    }
    fclose(f);
    return g_count;
}

static const struct Export* Find(const char* exported) {
    for (int i = 0; i < g_count; ++i)
        if (strcmp(g_table[i].exported, exported) == 0) return &g_table[i];
    return NULL;
}

/* Calls fn with `args` zero arguments; *moved receives how far the stack
 * pointer moved across the call and the caller's own cleanup. */
static int CallWithZeros(FARPROC fn, const struct Export* e, long* moved) {
#if defined(__i386__)
    int result;
    long delta;
    int count = e->args;
    int callerRemoves = strcmp(e->convention, "cdecl") == 0 ? 4 * e->args : 0;
    /* esi holds the stack pointer from before the pushes (callee-saved);
       ebx the function, edi the caller's cleanup, ecx the count. */
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "1:\n\t"
        "testl %%ecx, %%ecx\n\t"
        "jz 2f\n\t"
        "pushl $0\n\t"
        "decl %%ecx\n\t"
        "jmp 1b\n\t"
        "2:\n\t"
        "call *%%ebx\n\t"
        "addl %%edi, %%esp\n\t"
        "movl %%esp, %%edx\n\t"
        "subl %%esi, %%edx\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(result), "=d"(delta), "+c"(count)
        : "b"(fn), "D"(callerRemoves)
        : "esi", "memory", "cc");
    *moved = delta;
    return result;
#else
    /* One calling convention: the caller removes whatever it passed. */
    typedef int(__cdecl * Any)(void*, void*, void*, void*, void*, void*, void*, void*, void*, void*,
                               void*, void*, void*, void*, void*, void*, void*, void*, void*, void*,
                               void*, void*, void*, void*);
    (void)e;
    *moved = 0;
    return ((Any)(void*)fn)(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
#endif
}

/* Exports whose first argument is the session: with a null session they
   return -1 and send nothing. Both conventions, small and large argument
   counts, plain and decorated names. */
static const char* const kSessionCalls[] = {
    "TL_Close",          "TL_EnableDevice",     "TL_DisableDevice",        "TL_ReadLog",
    "TL_GetLog",         "_TL_GetExtLog@48",    "_TL_SSR_GetLog@44",       "_TL_ReadRTLog@4",
    "_TL_GetRTLog@12",   "TL_GetUserInfo",      "_SSR_TL_GetUserInfo@40",  "_SSR_TL_SetUserInfo@36",
    "_TL_GetUserTZs@16", "TL_GetDeviceInfo",    "_TL_GetDeviceStrInfo@12", "_TL_SSR_ReadDPT@4",
    "TL_GetUserInfoEx",  "TL_SetUserInfoEx",    "TL_DeleteUserInfoEx",     "TL_BeginBatchUpdate",
    "TL_BatchUpdate",    "TL_CancelBatchUpdate"};

int main(int argc, char** argv) {
    if (argc < 2 || !ReadTable(argv[1])) {
        fprintf(stderr, "cannot read the export table\n");
        return 2;
    }
    HMODULE dll = LoadLibraryA("termlink.dll");
    if (!dll) {
        fprintf(stderr, "cannot load termlink.dll (error %lu)\n", GetLastError());
        return 2;
    }
    int failures = 0, calls = 0;
    for (int i = 0; i < g_count; ++i) {
        if (!GetProcAddress(dll, g_table[i].exported)) {
            printf("FAIL not exported: %s\n", g_table[i].exported);
            ++failures;
        }
    }
    for (size_t i = 0; i < sizeof kSessionCalls / sizeof kSessionCalls[0]; ++i) {
        const struct Export* e = Find(kSessionCalls[i]);
        FARPROC fn = GetProcAddress(dll, kSessionCalls[i]);
        if (!e || !fn) {
            printf("FAIL missing: %s\n", kSessionCalls[i]);
            ++failures;
            continue;
        }
        long moved = 0;
        int result = CallWithZeros(fn, e, &moved);
        ++calls;
        /* TL_Close returns nothing useful; the rest answer -1. */
        int resultOk = strcmp(e->plain, "TL_Close") == 0 || result == -1;
        if (moved != 0 || !resultOk) {
            printf("FAIL %s (%s, %d args): result %d, stack moved by %ld bytes\n", e->exported,
                   e->convention, e->args, result, moved);
            ++failures;
        }
    }
    /* No session, no arguments, the caller's cleanup: the transport's last
       error passes through. */
    const struct Export* last = Find("TL_LastError");
    FARPROC lastFn = GetProcAddress(dll, "TL_LastError");
    if (last && lastFn) {
        long moved = 0;
        CallWithZeros(lastFn, last, &moved);
        ++calls;
        if (moved != 0) {
            printf("FAIL TL_LastError: stack moved by %ld bytes\n", moved);
            ++failures;
        }
    }
    printf("%d exports bound by name, %d calls checked, %d failures\n", g_count, calls, failures);
    FreeLibrary(dll);
    return failures ? 1 : 0;
}
