// <windows.h> as the Win32 code of this program includes it: lean, without the
// min/max macros, and without the A/W macros that share names with functions
// of ours (CopyFile, DeleteFile, MessageBox, MoveFile,
// ReplaceFile).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef CopyFile
#undef DeleteFile
#undef MessageBox
#undef MoveFile
#undef ReplaceFile
