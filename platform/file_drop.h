#pragma once
// Files dropped on a window (WM_DROPFILES), with the Windows names and
// semantics. A window takes drops while it has WS_EX_ACCEPTFILES
// (DragAcceptFiles); a drop on a window that does not goes to its nearest
// ancestor that does, or nowhere. The drop arrives as a posted WM_DROPFILES
// whose wParam is an HDROP; the receiver reads it with DragQueryFile and
// DragQueryPoint and releases it with DragFinish.
//
// File names are whole GBK paths of any length (ask DragQueryFile for the
// length first). Drops nobody finished are released once their window is
// gone, and only a bounded number of drops and names is ever kept.

#include <string>
#include <vector>

#include "platform/win_types.h"

namespace plat {

using HDROP = struct HDROP__*;

// DragQueryFile's index that asks for the number of files.
inline constexpr UINT kDragQueryCount = 0xFFFFFFFF;

void DragAcceptFiles(HWND hwnd, BOOL accept);
// index kDragQueryCount: the number of files. Otherwise the length in bytes
// of file `index` (without the terminator) when `buffer` is null, else the
// bytes copied (at most buffer_size - 1, NUL-terminated). 0 for an unknown
// drop or index.
UINT DragQueryFile(HDROP drop, UINT index, char* buffer, UINT buffer_size);
// The whole name of file `index`; empty for an unknown drop or index.
std::string DragQueryFileName(HDROP drop, UINT index);
// Where the drop happened, in client coordinates of the window it was
// posted to. FALSE for an unknown drop.
BOOL DragQueryPoint(HDROP drop, POINT* point);
void DragFinish(HDROP drop);

// Limits of one drop: more files are cut off, longer names skipped.
inline constexpr size_t kMaxDroppedFiles = 4096;
inline constexpr size_t kMaxDroppedNameBytes = 32767;

namespace input {

// Whether a drop on `hwnd` would reach a window (it or an ancestor takes
// files); backends refuse the drag over other windows.
bool TakesFileDrop(HWND hwnd);
// A backend saw files dropped at `client` (coordinates of `hwnd`, any
// window of the program). Posts WM_DROPFILES to the window that takes the
// drop; false when no window does or `paths` (GBK) holds no usable name.
bool QueueFileDrop(HWND hwnd, POINT client, std::vector<std::string> paths);

}  // namespace input
}  // namespace plat
