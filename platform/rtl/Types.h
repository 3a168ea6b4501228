// Integer and text types in the widths the system's code is written for.
#pragma once

#include <cstdint>
#include <string>

using Integer = int32_t;
using LongInt = int32_t;
using Cardinal = uint32_t;
using LongWord = uint32_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using Word = uint16_t;
using WORD = uint16_t;
using SmallInt = int16_t;
using ShortInt = int8_t;
using Byte = uint8_t;
using BYTE = uint8_t;
using Int64 = int64_t;
using UInt64 = uint64_t;
using BOOL = int32_t;
using NativeInt = intptr_t;
using NativeUInt = uintptr_t;

// 8-bit text; its content is Windows-1252 throughout the system.
using AnsiString = std::string;
using AnsiChar = char;
// UTF-16 text, exchanged with components that work in wide characters.
using WideString = std::u16string;
using WideChar = char16_t;

// Floating-point date and time: days since 30 December 1899, time as the fraction.
using TDateTime = double;
