// Opaque handle types of the window-system stand-ins. Distinct pointer types
// keep a bitmap from being passed where a device context is wanted; the
// values are table keys, never addresses.
#pragma once

#include "platform/types.h"

using HANDLE = void*;
using HGLOBAL = HANDLE;
using HGDIOBJ = void*;

struct HWND__;
using HWND = HWND__*;
struct HDC__;
using HDC = HDC__*;
struct HBITMAP__;
using HBITMAP = HBITMAP__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
