#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// File calls of the whole process since it started (see FileCalls.c): opens (open, openat,
// fopen), read-family system calls, and the other file calls (stat family, access, lseek,
// close, readlink).
typedef struct {
    long long Opens;
    long long Reads;
    long long Others;
} TFileCalls;

TFileCalls FileCallsNow(void);

#ifdef __cplusplus
}
#endif
