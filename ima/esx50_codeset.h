// Text conversions between the host's IMA_WCHAR strings (UTF-32) and the hierarchy's UTF-8 texts.
// A small codec of our own, free of the locale. Wide units are unsigned 32-bit values; a caller's
// wide string is read up to its 0 unit and never past kWideScanLimit units.
#pragma once

#include <wchar.h>

#include <cstddef>
#include <cstdint>

#include "ima_types.h"

namespace vx {

// The longest wide string any entry point accepts, its 0 unit included (a 255-unit alias).
constexpr size_t kWideScanLimit = 256;
// Room of a hierarchy text slot, its NUL included.
constexpr size_t kUtf8SlotSize = 256;

// Length of the sequence at p (1 to 4), 0 when it is invalid; p must lie before end.
uint32_t Iscsi_CodeSetOldGetUtf8(const uint8_t* p, const uint8_t* end, uint32_t* code_point);
// Code points of a NUL-terminated text, -1 when any sequence is invalid.
int32_t Iscsi_CodeSet_LengthInCodePoints(const char* utf8);
// malloc'd conversions; 1 on success (a NULL input gives a NULL result), 0 on failure.
int Iscsi_CodeSet_UTF8ToUTF32(const char* utf8, IMA_WCHAR** out);
int Iscsi_CodeSet_UTF32ToUTF8(const IMA_WCHAR* wide, char** out);

// A hierarchy text into a wide field of `len` units (the rest zeroed). 0x80000004 when the text
// does not decode or needs `len` units or more; dst is then left as it was.
IMA_STATUS Sample_Iscsi_ToWide(IMA_WCHAR* dst, const char* utf8, uint32_t len);
// A caller's wide string as UTF-8 into dst (len bytes, the rest NUL-filled). 0x80000004 when a unit
// cannot be encoded, the string is unterminated within kWideScanLimit units, or its UTF-8 form
// does not fit len bytes with its NUL; dst is then left as it was.
IMA_STATUS Sample_Iscsi_ToUtf8(char* dst, const IMA_WCHAR* wide, uint32_t len);
// The same, with the status to give for a string that is too long.
IMA_STATUS wide_to_utf8(char* dst, const IMA_WCHAR* wide, uint32_t len, IMA_STATUS too_long);
// Units before the 0 unit, at most `limit` (limit: no 0 unit among the first `limit` units).
size_t wide_length(const IMA_WCHAR* wide, size_t limit = kWideScanLimit);

// Code points of the UTF-8 form of a wide string, -1 when it cannot be encoded.
int32_t Sample_Iscsi_WideLength(const IMA_WCHAR* wide);
// 0 when the first 4 * len bytes of utf8 and of the wide string's UTF-8 form are equal,
// 0xC0000000 when they differ, 0x80000004 when the wide string cannot be encoded.
IMA_STATUS Sample_Iscsi_WideAndUtf8Cmp(const IMA_WCHAR* wide, const char* utf8, uint32_t len);
// strncmp of the UTF-8 forms over 4 * len bytes; a string that cannot be encoded never compares
// equal (-1 when `a` cannot, else 1).
int Sample_Iscsi_WideCmp(const IMA_WCHAR* a, const IMA_WCHAR* b, uint32_t len);

// The platform's locale conversions, at most size - 1 output units, terminated. 0 or 0x80000004.
IMA_STATUS Iscsi_Wcsnrtombs(char* dst, const wchar_t* src, uint32_t count, uint32_t size);
IMA_STATUS Iscsi_Mbsnrtowcs(wchar_t* dst, const char* src, uint32_t count, uint32_t size);

}  // namespace vx
