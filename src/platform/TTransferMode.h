#pragma once

// Whether files handed to a folder (paste, drop) are copied there or moved there.
enum class TTransferMode { Copy, Move };
