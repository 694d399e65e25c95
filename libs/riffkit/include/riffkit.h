/* libriffkit: reads and writes the information keys of WAV and MPEG audio files.
 *
 * One current file at a time: OpenWavFile, any number of Get/Set/Remove calls,
 * CloseWavFile (the moment the changes are written). Texts are UTF-8 and
 * NUL-terminated; keys are four ASCII letters. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define RIFFKIT_API __attribute__((visibility("default")))

/* 0 when the file is now open for tagging; non-zero when it is unusable.
 * The two reserved arguments are passed as 0. */
RIFFKIT_API int16_t OpenWavFile(const char* path, int32_t reserved1, int32_t reserved2);

/* As OpenWavFile, on a regular file the caller already has open for reading as fd, of size
 * bytes (as fstat told it), whose first headSize bytes the caller read into head (null and 0
 * when it read none): the file is not opened again and those bytes are not read again. The
 * descriptor stays the caller's: it is read with pread only, never closed, written or
 * moved, and head is not kept after this returns. path names the same file: an interrupted
 * save is completed through it, and CloseWavFile saves changes to it. */
RIFFKIT_API int16_t OpenWavFileOnDescriptor(const char* path, int32_t fd, uint64_t size,
                                            const void* head, int32_t headSize);

/* Closes the open file, committing any changes. Non-zero when changes were not stored. */
RIFFKIT_API int16_t CloseWavFile(void);

/* Fills buffer with the key's text, NUL-terminated and cut to size - 1 bytes on a
 * character boundary; the empty text for an absent key. */
RIFFKIT_API int16_t GetTagInfo(const char* key, char* buffer, int32_t size);

/* As GetTagInfo, for a tag kept in a chunk of its own ("DISP", the title). */
RIFFKIT_API int16_t GetChunkInfo(const char* chunkId, char* buffer, int32_t size);

/* Sets the key to the first `length` bytes of text. */
RIFFKIT_API int16_t SetTagInfo(const char* key, const char* text, uint16_t length);

/* Sets a tag chunk ("DISP") to the first `length` bytes of text. */
RIFFKIT_API int16_t SetChunkInfo(const char* chunkId, const char* text, uint16_t length);

/* Deletes the key if present. */
RIFFKIT_API int16_t RemoveTag(const char* key);

/* Non-zero when the file last opened carries an ID3v2 tag (also after CloseWavFile). */
RIFFKIT_API int16_t HasId3v2(void);

/* Adds an ID3v2 tag carrying the ID3v1 values to an MPEG file that is not open.
 * -1 when no tag could be added. */
RIFFKIT_API int16_t AddId3v2(const char* path);

/* Copies a short English UTF-8 reason for the last failed OpenWavFile, CloseWavFile or
 * SetLoudness (cleared when any of them is called) into buffer, NUL-terminated and cut at a
 * character boundary to fit size - 1 bytes. Returns the reason's full length in bytes without the
 * NUL; 0 when there is none. buffer may be null when size is 0. */
RIFFKIT_API int32_t GetTagLastError(char* buffer, int32_t size);

/* The broadcast chunks of WAV files (cart, bext). */

/* How the saves that follow treat the cart chunk. mode: 0 keeps it in step with the values
 * when the file has one, 1 always writes one, 2 never changes it. profile, the post timers
 * written: 0 "Common" (AUDs/AUDe, INTs/INTe, SEGs/SEGe), 1 "Genesys" ("INT ", SEC1,
 * MRK1/MRK2). Holds until set again; -1 (and no change) when a value is out of range. */
RIFFKIT_API int16_t SetBroadcastOptions(int32_t mode, int32_t profile);

/* The names of the open file's stored cart and bext fields that hold something
 * ("cart.Title", "cart.PostTimer1", "bext.Description" ...), one per line. Copied as
 * GetTagLastError copies; returns the full length in bytes. */
RIFFKIT_API int32_t GetBroadcastFields(char* buffer, int32_t size);

/* A stored field of the open file by name (as GetBroadcastFields lists them; a post timer
 * reads "USAGE frames (N ms)", the usage always four characters). Copied as GetTagLastError copies;
 * returns the full length, or -1 when the field is empty or absent (the buffer then holds the empty
 * text). */
RIFFKIT_API int32_t GetBroadcastInfo(const char* field, char* buffer, int32_t size);

/* The cart fields that the last CloseWavFile stored as a shortened copy (the INFO value
 * stays whole), one name per line; also after CloseWavFile, cleared by OpenWavFile. Copied
 * as GetTagLastError copies; returns the full length. */
RIFFKIT_API int32_t GetShortenedFields(char* buffer, int32_t size);

/* Measured loudness (EBU R128). Each figure is its value times 100, rounded: integrated
 * loudness in LUFS, loudness range in LU, true peak in dBTP, maximum momentary and maximum
 * short-term loudness in LUFS; -23.45 LUFS is -2345. A figure from -32767 to 32766, or
 * RIFFKIT_NOT_MEASURED. */
#define RIFFKIT_NOT_MEASURED (-2147483647 - 1)

/* Stores the figures in the open file at CloseWavFile, like every other change.
 * WAV: the loudness fields of the bext chunk (version 2; a lower version is raised to 2, a
 * shorter chunk grown to 602 bytes, every other byte kept; a figure not measured is 0x7FFF).
 * The broadcast options' mode decides as for the cart: 1 adds a bext chunk to a file without
 * one, 0 only updates a bext the file has, 2 changes no broadcast chunk.
 * MPEG: ReplayGain 2.0 frames in the ID3v2 tag, in its version: TXXX REPLAYGAIN_TRACK_GAIN
 * ("-18 LUFS" less the integrated loudness, "-5.12 dB") and REPLAYGAIN_TRACK_PEAK (the true
 * peak as a linear factor, "0.891251"), replacing frames of those descriptions in any case.
 * Both figures are needed; the others are not stored. A save adds no ID3v2 tag: AddId3v2
 * first.
 * 0: stored at CloseWavFile. 1: it will not be stored (the broadcast options, a file without
 * bext or ID3v2 tag, a figure ReplayGain needs not measured, a bext over 1 MB); GetTagLastError
 * says why and nothing changes. -1: no open file, a figure out of range, or none measured. */
RIFFKIT_API int16_t SetLoudness(int32_t integratedX100, int32_t rangeX100, int32_t truePeakX100,
                                int32_t maxMomentaryX100, int32_t maxShortTermX100);

/* The figures the open file holds, as SetLoudness takes them (after a SetLoudness, the ones
 * it set): a bext chunk of version 2 or higher, or the ReplayGain frames (integrated loudness
 * and true peak only). Each pointer may be null; a figure not held reads RIFFKIT_NOT_MEASURED.
 * 0 when the file holds any figure, 1 when none, -1 when no file is open. */
RIFFKIT_API int16_t GetLoudness(int32_t* integratedX100, int32_t* rangeX100, int32_t* truePeakX100,
                                int32_t* maxMomentaryX100, int32_t* maxShortTermX100);

#ifdef __cplusplus
}
#endif
