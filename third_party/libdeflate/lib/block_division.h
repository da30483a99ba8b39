/*
 * block_division.h - the state of block division, an addition to this copy of
 * libdeflate (see README.md).  Included by deflate_compress.c before the
 * compressor structure, which holds a 'struct deflate_block_division' for the
 * near-optimal levels.
 *
 * Block division: after a block has been parsed, the compressor tries dividing
 * it into two blocks at one of a few candidate points, each part parsed and
 * coded on its own, and keeps the division when the two parts cost fewer bits
 * than the whole.  It recurses into both parts, down to parts of
 * DIVIDE_MIN_LENGTH bytes.  The block-split heuristic only sees literal/match
 * statistics; division measures the real cost, so it finds the cheaper block
 * boundaries that the heuristic misses.  It is off unless the caller turns it
 * on with libdeflate_set_block_division() (libdeflate_division.h).
 */

#ifndef LIB_BLOCK_DIVISION_H
#define LIB_BLOCK_DIVISION_H

#if SUPPORT_NEAR_OPTIMAL_PARSING

#define DIVIDE_MIN_LENGTH	128
#define DIVIDE_NUM_CANDIDATES	3
#define DIVIDE_MAX_PARTS	(MAX_BLOCK_LENGTH / DIVIDE_MIN_LENGTH + 1)

/* A part of a divided block, and the costs that its parse starts from. */
struct deflate_divided_part {
	u32 start;
	u32 length;
	struct deflate_costs initial_costs;
};

struct deflate_block_division {
	/* Whether blocks are divided; off when the compressor is made. */
	bool on;
	/* The match cache position of each byte of the block being divided. */
	const struct lz_match *cache_at[MAX_BLOCK_LENGTH + 1];
	/* The chosen parts, in order. */
	struct deflate_divided_part parts[DIVIDE_MAX_PARTS];
};

#endif /* SUPPORT_NEAR_OPTIMAL_PARSING */

#endif /* LIB_BLOCK_DIVISION_H */
