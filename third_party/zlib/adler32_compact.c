/* The Adler-32 of RFC 1950 in its plainest form, in place of zlib's adler32.c (a local change,
 * kept in a file of its own). The loader inflates raw deflate data and never checks an
 * Adler-32: zlib's inflate refers to it only for zlib streams. Upstream's unrolled loops would
 * cost about 840 bytes of the stub for nothing. */
#include "zlib.h"

#define BASE 65521UL /* the largest prime below 65536 */
#define NMAX 5552    /* the most bytes before the sums must be reduced to stay in 32 bits */

uLong ZEXPORT adler32(uLong adler, const Bytef* buf, uInt len)
{
    unsigned long sum2 = (adler >> 16) & 0xffff;
    adler &= 0xffff;
    if (buf == Z_NULL)
        return 1L;
    while (len > 0) {
        unsigned n = len < NMAX ? len : NMAX;
        len -= n;
        do {
            adler += *buf++;
            sum2 += adler;
        } while (--n);
        adler %= BASE;
        sum2 %= BASE;
    }
    return adler | (sum2 << 16);
}
