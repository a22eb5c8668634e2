#pragma once
#include <string_view>

// The number at the start of a record field: leading blanks, an optional sign, digits with
// an optional point, an optional exponent. Reading stops at the first character that cannot
// continue the number; text without a number gives 0. A point is the only separator,
// whatever the locale.
double FieldNumber(std::string_view text);
