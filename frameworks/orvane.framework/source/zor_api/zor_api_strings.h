/* Strings family: unicode text objects, 8-bit conversion and number formatting. Any thread, one
 * string object at a time. */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 8-bit conversion codes. */
enum {
  ZOR_STRING_UTF8 = 0,          /* reads UTF-8 and the escapes that ZOR_STRING_7BIT_ESCAPED writes */
  ZOR_STRING_UTF8_VERBATIM = 1, /* UTF-8 as it stands: no escape is read or written */
  ZOR_STRING_7BIT_ESCAPED = 3   /* 7-bit text, everything else as an escape */
};

/* Append only; never reorder. */
typedef struct HostStringTable {
  int32_t size;
  HostString* (*alloc)(void); /* empty; the caller frees it */
  void (*free)(HostString* s);
  HostString* (*copy)(const HostString* s); /* the caller frees it */
  void (*assign)(HostString* dst, const HostString* src);
  /* length < 0: text is zero-terminated */
  void (*set_text)(HostString* s, const char* text, int32_t length, int32_t conversion);
  /* Writes at most buffer_size - 1 bytes and a terminating zero into the caller's buffer; answers the
   * bytes written. */
  int32_t (*get_text)(const HostString* s, char* buffer, int32_t buffer_size, int32_t conversion);
  /* Bytes the whole text needs in this conversion, without the terminating zero. */
  int32_t (*get_text_length)(const HostString* s, int32_t conversion);
  int32_t (*length)(const HostString* s);                  /* in characters */
  uint32_t (*char_at)(const HostString* s, int32_t index); /* 0 outside the text */
  void (*append)(HostString* dst, const HostString* src);
  void (*append_text)(HostString* dst, const char* utf8);
  /* out := count characters of s from start (clamped to the text) */
  void (*sub)(const HostString* s, int32_t start, int32_t count, HostString* out);
  /* position of needle at or after start, or -1 */
  int32_t (*find)(const HostString* s, const HostString* needle, int32_t start);
  /* by unicode code point, case-sensitive: < 0, 0, > 0 */
  int32_t (*compare)(const HostString* a, const HostString* b);
  bool (*equal)(const HostString* a, const HostString* b);
  void (*from_int)(HostString* out, int64_t value);
  /* fraction_digits after the point, rounded half away from zero; int_digits > 0 pads the integer
   * part with fill to that many digits, 0 or below pads nothing; exponent writes d.dddE+xx. Both
   * counts are taken as at most 64. */
  void (*from_float)(HostString* out, double value, int32_t int_digits, int32_t fraction_digits,
                     bool exponent, uint32_t fill);
  /* The whole text must be a number; *error is 0 on success, non-zero otherwise. */
  int64_t (*to_int)(const HostString* s, int32_t* error);
  double (*to_float)(const HostString* s, int32_t* error);
  void (*line_end)(HostString* out);
} HostStringTable;

#ifdef __cplusplus
}
#endif
