/* libsonara: measures audio files and plays them on an output device.
 *
 * Paths and texts are UTF-8 and NUL-terminated; times are milliseconds.
 * A play handle serves one audition: SN_GetHandlePlay, SN_ForceCodec,
 * SN_PlayStartXY, then SN_Status / SN_PlayGetTimeMs, then SN_PlayStop. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SONARA_API __attribute__((visibility("default")))

#define SN_STATUS_DONE 525
#define SN_STATUS_PLAYING 526

/* Non-zero when the file is recognised; textA describes the coding, textB rate and channels. */
SONARA_API int16_t SN_GetWaveFileFormat(const char* path, char* textA, int32_t sizeA, char* textB,
                                        int32_t sizeB);
/* SN_GetWaveFileFormat and SN_PlayGetLengthMsFile in one: the same return value and texts,
 * and in *lengthMs (when not null) the playing length in ms, 0 when the file is not
 * recognised. The file is opened and measured once. */
SONARA_API int16_t SN_GetWaveFileFormatAndLength(const char* path, char* textA, int32_t sizeA,
                                                 char* textB, int32_t sizeB, uint32_t* lengthMs);
/* As SN_GetWaveFileFormatAndLength, of a regular file the caller already has open for reading
 * as fd, of size bytes (as fstat told it), whose first headSize bytes the caller read into
 * head (null and 0 when it read none): the file is not opened again and those bytes are not
 * read again. The descriptor stays the caller's: it is read with pread only, never closed,
 * written or moved, and head is not kept after this returns. */
SONARA_API int16_t SN_GetOpenFileFormatAndLength(int32_t fd, uint64_t size, const void* head,
                                                 int32_t headSize, char* textA, int32_t sizeA,
                                                 char* textB, int32_t sizeB, uint32_t* lengthMs);
/* Number of live play handles. */
SONARA_API int16_t SN_GetNumPlayHandles(void);
/* The text of the last failure, NUL-terminated and cut to the buffer. */
SONARA_API int16_t SN_GetLastError(char* buffer, int32_t size);
/* Number of device indexes: the playback devices plus one for the system default. */
SONARA_API int16_t SN_GetNumOutputDevices(void);
SONARA_API int16_t SN_GetOutputDeviceName(int16_t index, char* buffer, int32_t size);
/* A new non-zero handle when the file can be decoded, else 0. */
SONARA_API uint32_t SN_GetHandlePlay(int32_t reserved, int16_t device, const char* path);
/* Sets the device buffer's length as frames at 44.1 kHz (kept between 441 and 1323, that is
 * 10 to 30 ms; 20 ms unless set); every rate gets the same time. count is not used. The
 * length applies to the next start; 0 on success. */
SONARA_API int16_t SN_SetBuffers(int32_t count, int32_t frames);
/* Stops and forgets one handle; 0 on success, non-zero for an unknown handle. */
SONARA_API int16_t SN_FreeHandlePlay(uint32_t handle);
/* Stops and forgets every handle; returns once their devices are closed. */
SONARA_API int16_t SN_FreeHandlePlayAll(void);
/* Playing length in ms; 0 when it cannot be measured. */
SONARA_API uint32_t SN_PlayGetLengthMsFile(const char* path);
/* Playing length of a handle's file in ms; 0 for an unknown handle. */
SONARA_API uint32_t SN_PlayGetLengthMs(uint32_t handle);
/* 0 when playback of [startMs, endMs) started; endMs 0 plays to the end of the file.
 * A start at or beyond the end plays nothing: 0, and the handle reports done at once. */
SONARA_API int16_t SN_PlayStartXY(uint32_t handle, uint32_t startMs, uint32_t endMs);
/* Pause holds the output and the position; resume goes on. 0 on success. */
SONARA_API int16_t SN_PlayPause(uint32_t handle);
SONARA_API int16_t SN_PlayResume(uint32_t handle);
/* Stops at once and releases the handle with its device and decoder; 0 on success. */
SONARA_API int16_t SN_PlayStop(uint32_t handle);
/* Position of the sample the device is playing now, in ms from the start of the file. */
SONARA_API uint32_t SN_PlayGetTimeMs(uint32_t handle);
/* The same position in samples (frames). */
SONARA_API uint32_t SN_PlayGetTimeMsS(uint32_t handle);
/* SN_STATUS_PLAYING while playing; SN_STATUS_DONE once played out, stopped, or unknown.
 * Returns at once: a played-out device is closed in the background. */
SONARA_API int16_t SN_Status(uint32_t handle);
/* 1: prefer libsndfile for MPEG audio where it can read the file (else the default decoder
 * plays it); 0: default choice. */
SONARA_API int16_t SN_ForceCodec(uint32_t handle, int16_t force);

/* Decoding for analysis, through the decoders and the start and end trimming that playback
 * uses, so a sample frame counted here is the one heard at that place. A decode handle is
 * not a play handle and needs no device. */
/* A new non-zero handle, with the audio's rate, channels and (0 when unknown) frames. */
SONARA_API uint32_t SN_DecodeOpen(const char* path, uint32_t* sampleRate, uint16_t* channels,
                                  uint64_t* frames);
/* Up to `frames` sample frames of interleaved 16-bit samples; the number read, 0 at the end
 * of the audio (or for an unknown handle). */
SONARA_API uint32_t SN_DecodeRead(uint32_t handle, int16_t* samples, uint32_t frames);
/* Positions a handle that has not read yet at a sample frame; 0 on success. */
SONARA_API int16_t SN_DecodeSeek(uint32_t handle, uint64_t frame);
/* Forgets a decode handle; 0 on success. */
SONARA_API int16_t SN_DecodeClose(uint32_t handle);

#ifdef __cplusplus
}
#endif
