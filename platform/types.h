// Fixed-width Win32-style types used by the libraries' signatures, and the
// 16-bit text type. Every subsystem includes this header; it includes no OS
// header itself.
#pragma once

#include <cstddef>
#include <cstdint>

using BOOL = int32_t;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using INT_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using LONG_PTR = intptr_t;
using DWORD_PTR = uintptr_t;
using LPARAM = intptr_t;
using WPARAM = uintptr_t;
using COLORREF = uint32_t;

// Wide text is UTF-16 on every host (wchar_t is 32 bits on Linux).
using wchar16 = char16_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
