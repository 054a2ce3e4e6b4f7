// Text between the program's 8-bit strings (the thread's ANSI code page, 936 here)
// and the UTF-16 strings of COM and automation (BSTR).
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>

#include "afx/afxstr.h"

// UTF-16 text up to its first zero as 8-bit text; null gives "".  Throws std::bad_alloc.
CString AfxW2A(const wchar_t* text);
// 8-bit text up to its first zero as UTF-16; null gives "".  Throws std::bad_alloc.
std::wstring AfxA2W(const char* text);
// A new BSTR holding 8-bit text (null gives an empty one); null when the system has no
// memory for it.  Throws std::bad_alloc.
BSTR AfxA2Bstr(const char* text);
