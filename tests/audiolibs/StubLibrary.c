/* A stand-in service library for start-up tests. Built once per variant:
 * STUB_PLAYBACK or STUB_TAGGING picks the library, STUB_COUNT how many of its
 * operations (in binding order) it exports. Loading and unloading are logged to
 * the file named by CUEMARK_STUB_MARKER as "load NAME" / "unload NAME". */
#include <stdio.h>
#include <stdlib.h>

#define STUB_EXPORT __attribute__((visibility("default")))

static void Mark(const char* event) {
    const char* path = getenv("CUEMARK_STUB_MARKER");
    if (path == NULL || *path == 0)
        return;
    FILE* file = fopen(path, "a");
    if (file == NULL)
        return;
    fprintf(file, "%s %s\n", event, STUB_NAME);
    fclose(file);
}

__attribute__((constructor)) static void StubLoaded(void) {
    Mark("load");
}
__attribute__((destructor)) static void StubUnloaded(void) {
    Mark("unload");
}

#ifdef STUB_PLAYBACK
#if STUB_COUNT > 0
STUB_EXPORT int SN_GetWaveFileFormat(void) {
    return 0;
}
#endif
#if STUB_COUNT > 1
STUB_EXPORT int SN_GetNumPlayHandles(void) {
    return 0;
}
#endif
#if STUB_COUNT > 2
STUB_EXPORT int SN_GetLastError(void) {
    return 0;
}
#endif
#if STUB_COUNT > 3
STUB_EXPORT int SN_GetNumOutputDevices(void) {
    return 0;
}
#endif
#if STUB_COUNT > 4
STUB_EXPORT int SN_GetOutputDeviceName(void) {
    return 0;
}
#endif
#if STUB_COUNT > 5
STUB_EXPORT int SN_GetHandlePlay(void) {
    return 0;
}
#endif
#if STUB_COUNT > 6
STUB_EXPORT int SN_SetBuffers(void) {
    return 0;
}
#endif
#if STUB_COUNT > 7
STUB_EXPORT int SN_FreeHandlePlay(void) {
    return 0;
}
#endif
#if STUB_COUNT > 8
STUB_EXPORT int SN_FreeHandlePlayAll(void) {
    return 0;
}
#endif
#if STUB_COUNT > 9
STUB_EXPORT int SN_PlayGetLengthMsFile(void) {
    return 0;
}
#endif
#if STUB_COUNT > 10
STUB_EXPORT int SN_PlayGetLengthMs(void) {
    return 0;
}
#endif
#if STUB_COUNT > 11
STUB_EXPORT int SN_PlayStartXY(void) {
    return 0;
}
#endif
#if STUB_COUNT > 12
STUB_EXPORT int SN_PlayPause(void) {
    return 0;
}
#endif
#if STUB_COUNT > 13
STUB_EXPORT int SN_PlayResume(void) {
    return 0;
}
#endif
#if STUB_COUNT > 14
STUB_EXPORT int SN_PlayStop(void) {
    return 0;
}
#endif
#if STUB_COUNT > 15
STUB_EXPORT int SN_PlayGetTimeMs(void) {
    return 0;
}
#endif
#if STUB_COUNT > 16
STUB_EXPORT int SN_PlayGetTimeMsS(void) {
    return 0;
}
#endif
#if STUB_COUNT > 17
STUB_EXPORT int SN_Status(void) {
    return 0;
}
#endif
#if STUB_COUNT > 18
STUB_EXPORT int SN_ForceCodec(void) {
    return 0;
}
#endif
#endif

#ifdef STUB_TAGGING
#if STUB_COUNT > 0
STUB_EXPORT int OpenWavFile(void) {
    return 0;
}
#endif
#if STUB_COUNT > 1
STUB_EXPORT int CloseWavFile(void) {
    return 0;
}
#endif
#if STUB_COUNT > 2
STUB_EXPORT int GetTagInfo(void) {
    return 0;
}
#endif
#if STUB_COUNT > 3
STUB_EXPORT int SetTagInfo(void) {
    return 0;
}
#endif
#if STUB_COUNT > 4
STUB_EXPORT int GetChunkInfo(void) {
    return 0;
}
#endif
#if STUB_COUNT > 5
STUB_EXPORT int SetChunkInfo(void) {
    return 0;
}
#endif
#if STUB_COUNT > 6
STUB_EXPORT int HasId3v2(void) {
    return 0;
}
#endif
#if STUB_COUNT > 7
STUB_EXPORT int AddId3v2(void) {
    return 0;
}
#endif
#if STUB_COUNT > 8
STUB_EXPORT int RemoveTag(void) {
    return 0;
}
#endif
#endif
