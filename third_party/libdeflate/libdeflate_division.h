/*
 * libdeflate_division.h - block division, an addition to this copy of
 * libdeflate (see README.md).  Compressors are made without it, and then
 * compress exactly as upstream libdeflate 1.14 does.
 */

#ifndef LIBDEFLATE_DIVISION_H
#define LIBDEFLATE_DIVISION_H

#include "libdeflate.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Turns block division on (divide != 0) or off for a compressor of level 10,
 * 11 or 12, the levels with the near-optimal parse: each block is then also
 * divided into smaller blocks wherever that costs fewer bits.  Returns 1;
 * returns 0 and changes nothing for the lower levels, which have no such
 * parse.
 */
LIBDEFLATEEXPORT int LIBDEFLATEAPI
libdeflate_set_block_division(struct libdeflate_compressor *compressor,
			      int divide);

#ifdef __cplusplus
}
#endif

#endif /* LIBDEFLATE_DIVISION_H */
