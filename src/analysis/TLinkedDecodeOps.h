#pragma once

#include "TAudioAnalysis.h"

#include <sonara.h>

// The decode operations of the playback library a program links (the tools, tests and
// benchmarks; the window binds them at run time instead).
inline TDecodeOps LinkedDecodeOps() {
    TDecodeOps ops;
    ops.Open = &SN_DecodeOpen;
    ops.Read = &SN_DecodeRead;
    ops.Close = &SN_DecodeClose;
    ops.LastError = &SN_GetLastError;
    return ops;
}
