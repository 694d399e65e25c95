#pragma once

#include "TAudioAnalysis.h"
#include "TAudioLibs.h"

// The decode operations of the playback library the window binds at run time (null when the
// library lacks them).
inline TDecodeOps BoundDecodeOps() {
    const TAudioLibs& libs = AudioLibs();
    TDecodeOps ops;
    ops.Open = libs.SN_DecodeOpen;
    ops.Read = libs.SN_DecodeRead;
    ops.Close = libs.SN_DecodeClose;
    ops.LastError = libs.SN_GetLastError;
    return ops;
}
