// General string utilities on fixed-width texts: searches for the first and last position
// that differs from a pattern, the non-blank span of a range, and justified copies. Positions
// count from 1; a result of 0 means "none".
#pragma once

#include <string_view>

#include "hydro/messages/text_field.h"

namespace tovalin {

// First position i (1..L-M+1) where string(i..i+M-1) differs from pattern; 0 when none, or
// when L <= 0, M <= 0 or M > L. With a one-blank pattern: the first non-blank position.
int NINDX(std::string_view string, std::string_view pattern) noexcept;
// The same search from the end: the last such position; 0 when none.
int NINDXR(std::string_view string, std::string_view pattern) noexcept;
// Last non-blank position of string (0 when all blank); also stored in last.
int CHRLNB(std::string_view string, int& last) noexcept;
// First non-blank position (in string) and length of the non-blank span of
// string(start..start+count-1); both 0 for an empty or all-blank range. The range is clipped
// to the string.
void LFLNB(std::string_view string, int start, int count, int& first, int& length) noexcept;
// The non-blank span of source(start..start+count-1) written left-justified into
// target(targetStart..targetStart+count-1), blanks after it; blanks only when the range is
// blank. source may be the target field itself.
void LJSTR(std::string_view source, int start, int count, TextField target,
           int targetStart) noexcept;
// The same, right-justified so that the span ends at targetStart+count-1.
void RJSTR(std::string_view source, int start, int count, TextField target,
           int targetStart) noexcept;
// Fills the whole field with blanks.
void CHRBLK(TextField string) noexcept;

}  // namespace tovalin
