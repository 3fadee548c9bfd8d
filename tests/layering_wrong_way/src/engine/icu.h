// Reads Unicode past base/unicode.h: the layering check must name it.
#include <unicode/uchar.h>
