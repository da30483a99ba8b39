/*
 * block_division_impl.h - block division, an addition to this copy of
 * libdeflate (see block_division.h and README.md).  Included by
 * deflate_compress.c after deflate_optimize_block(), whose helpers it uses.
 *
 * With division off, a block is parsed and output exactly as by the unchanged
 * libdeflate code: deflate_optimize_block() and deflate_flush_block().
 */

#ifndef LIB_BLOCK_DIVISION_IMPL_H
#define LIB_BLOCK_DIVISION_IMPL_H

#include "libdeflate_division.h"

/*
 * Parse 'length' bytes, whose match cache ends at 'cache_end', starting from
 * the costs 'initial_costs', with 'num_passes' optimization passes.  Leaves the
 * parse in c->p.n.optimum_nodes, its symbol frequencies in c->freqs, its codes
 * in c->codes, and the costs of those codes in c->p.n.costs (also after the
 * last pass: the parts of a division start from them).
 */
static void
deflate_optimize_part(struct libdeflate_compressor *c, u32 length,
		      const struct lz_match *cache_end,
		      const struct deflate_costs *initial_costs,
		      unsigned num_passes)
{
	u32 i;

	/* Matches may not run past the end of the part. */
	for (i = length;
	     i <= MIN(length - 1 + DEFLATE_MAX_MATCH_LEN,
		      ARRAY_LEN(c->p.n.optimum_nodes) - 1); i++)
		c->p.n.optimum_nodes[i].cost_to_end = 0x80000000;

	c->p.n.costs = *initial_costs;
	do {
		deflate_find_min_cost_path(c, length, cache_end);
		deflate_reset_symbol_frequencies(c);
		deflate_tally_item_list(c, length);
		deflate_make_huffman_codes(&c->freqs, &c->codes);
		deflate_set_costs_from_codes(c, &c->codes.lens);
	} while (--num_passes);
}

/*
 * The size in bits of the part just parsed by deflate_optimize_part() as one
 * block of the cheapest type, block header included: the accounting of
 * deflate_flush_block(), with the padding of an uncompressed block taken at
 * its largest (7 bits), since it depends on where the block starts.
 */
static u32
deflate_part_cost(struct libdeflate_compressor *c, u32 length)
{
	u32 dynamic_cost;
	u32 static_cost = 0;
	u32 uncompressed_cost;
	unsigned sym;

	deflate_precompute_huffman_header(c);

	dynamic_cost = 5 + 5 + 4 + (3 * c->o.precode.num_explicit_lens);
	for (sym = 0; sym < DEFLATE_NUM_PRECODE_SYMS; sym++) {
		u32 extra = deflate_extra_precode_bits[sym];

		dynamic_cost += c->o.precode.freqs[sym] *
				(extra + c->o.precode.lens[sym]);
	}
	for (sym = 0; sym < 144; sym++) {
		dynamic_cost += c->freqs.litlen[sym] *
				c->codes.lens.litlen[sym];
		static_cost += c->freqs.litlen[sym] * 8;
	}
	for (; sym < 256; sym++) {
		dynamic_cost += c->freqs.litlen[sym] *
				c->codes.lens.litlen[sym];
		static_cost += c->freqs.litlen[sym] * 9;
	}
	dynamic_cost += c->codes.lens.litlen[DEFLATE_END_OF_BLOCK];
	static_cost += 7;
	for (sym = DEFLATE_FIRST_LEN_SYM;
	     sym < DEFLATE_FIRST_LEN_SYM + ARRAY_LEN(deflate_extra_length_bits);
	     sym++) {
		u32 extra = deflate_extra_length_bits[
					sym - DEFLATE_FIRST_LEN_SYM];

		dynamic_cost += c->freqs.litlen[sym] *
				(extra + c->codes.lens.litlen[sym]);
		static_cost += c->freqs.litlen[sym] *
				(extra + c->static_codes.lens.litlen[sym]);
	}
	for (sym = 0; sym < ARRAY_LEN(deflate_extra_offset_bits); sym++) {
		u32 extra = deflate_extra_offset_bits[sym];

		dynamic_cost += c->freqs.offset[sym] *
				(extra + c->codes.lens.offset[sym]);
		static_cost += c->freqs.offset[sym] * (extra + 5);
	}
	uncompressed_cost = 7 + 32 +
			    (40 * (DIV_ROUND_UP(length, UINT16_MAX) - 1)) +
			    (8 * length);

	return 3 + MIN(dynamic_cost, MIN(static_cost, uncompressed_cost));
}

/*
 * The part [start, start + length) of the block has just been parsed from
 * 'initial_costs' and costs 'cost' bits as one block.  Find whether dividing it
 * costs less, recursively, and append the chosen parts to the division's parts.
 * Returns the cost of the chosen parts.
 */
static u32
deflate_divide_part(struct libdeflate_compressor *c, u32 start, u32 length,
		    const struct deflate_costs *initial_costs, u32 cost,
		    unsigned *num_parts)
{
	struct deflate_block_division *d = &c->p.n.division;
	const unsigned first_part = *num_parts;

	if (length >= 2 * DIVIDE_MIN_LENGTH) {
		/* The parts start from the whole's converged costs. */
		const struct deflate_costs costs = c->p.n.costs;
		u32 split = length / 2;
		u32 best_cost = UINT32_MAX;
		u32 left_cost, right_cost;
		unsigned k;

		/* Pick the candidate point with the cheapest one-pass
		 * parse of its two parts. */
		for (k = 1; k <= DIVIDE_NUM_CANDIDATES; k++) {
			u32 at = (u32)((u64)length * k /
				       (DIVIDE_NUM_CANDIDATES + 1));
			u32 candidate_cost;

			if (at < DIVIDE_MIN_LENGTH ||
			    length - at < DIVIDE_MIN_LENGTH)
				continue;
			deflate_optimize_part(c, at, d->cache_at[start + at],
					      &costs, 1);
			candidate_cost = deflate_part_cost(c, at);
			deflate_optimize_part(c, length - at,
					      d->cache_at[start + length],
					      &costs, 1);
			candidate_cost += deflate_part_cost(c, length - at);
			if (candidate_cost < best_cost) {
				best_cost = candidate_cost;
				split = at;
			}
		}

		deflate_optimize_part(c, split, d->cache_at[start + split],
				      &costs, c->p.n.num_optim_passes);
		left_cost = deflate_divide_part(c, start, split, &costs,
						deflate_part_cost(c, split),
						num_parts);
		deflate_optimize_part(c, length - split,
				      d->cache_at[start + length],
				      &costs, c->p.n.num_optim_passes);
		right_cost = deflate_divide_part(c, start + split,
						 length - split, &costs,
						 deflate_part_cost(c,
							length - split),
						 num_parts);
		if ((u64)left_cost + right_cost < cost)
			return left_cost + right_cost;
		*num_parts = first_part;	/* the whole is cheaper */
	}
	d->parts[first_part].start = start;
	d->parts[first_part].length = length;
	d->parts[first_part].initial_costs = *initial_costs;
	*num_parts = first_part + 1;
	return cost;
}

/*
 * Parse the block whose match cache ends at 'cache_end', divide it into the
 * cheapest parts (one part if dividing doesn't pay), and output the parts.
 */
static void
deflate_optimize_divide_and_flush(struct libdeflate_compressor *c,
				  struct deflate_output_bitstream *os,
				  const u8 *block_begin, u32 block_length,
				  const struct lz_match *cache_end,
				  bool is_first_block, bool is_final_block)
{
	struct deflate_block_division *d = &c->p.n.division;
	const struct lz_match *cache_ptr = cache_end;
	struct deflate_costs initial_costs;
	u32 lit_cost, len_sym_cost;
	unsigned num_parts = 0;
	unsigned i;
	u32 pos;

	/* Each position's matches end with a header holding their count. */
	for (pos = block_length; pos > 0; pos--) {
		d->cache_at[pos] = cache_ptr;
		cache_ptr--;
		cache_ptr -= cache_ptr->length;
	}
	d->cache_at[0] = cache_ptr;

	/* The initial costs, as deflate_optimize_block() sets them. */
	deflate_choose_default_litlen_costs(c, block_begin, block_length,
					    &lit_cost, &len_sym_cost);
	if (is_first_block)
		deflate_set_default_costs(c, lit_cost, len_sym_cost);
	else
		deflate_adjust_costs(c, lit_cost, len_sym_cost);
	initial_costs = c->p.n.costs;

	deflate_optimize_part(c, block_length, cache_end, &initial_costs,
			      c->p.n.num_optim_passes);
	deflate_divide_part(c, 0, block_length, &initial_costs,
			    deflate_part_cost(c, block_length), &num_parts);

	/* Parse each part again (the same parse as when it was chosen), then
	 * output it. */
	for (i = 0; i < num_parts; i++) {
		const struct deflate_divided_part *part = &d->parts[i];

		deflate_optimize_part(c, part->length,
				      d->cache_at[part->start + part->length],
				      &part->initial_costs,
				      c->p.n.num_optim_passes);
		deflate_flush_block(c, os, block_begin + part->start,
				    part->length, NULL,
				    is_final_block && i == num_parts - 1);
	}
}

/*
 * Parse and output one block of the near-optimal parse: divided when block
 * division is on, otherwise as one block by the unchanged libdeflate code.
 */
static void
deflate_optimize_and_flush_block(struct libdeflate_compressor *c,
				 struct deflate_output_bitstream *os,
				 const u8 *block_begin, u32 block_length,
				 const struct lz_match *cache_end,
				 bool is_first_block, bool is_final_block)
{
	if (c->p.n.division.on) {
		deflate_optimize_divide_and_flush(c, os, block_begin,
						  block_length, cache_end,
						  is_first_block,
						  is_final_block);
		return;
	}
	deflate_optimize_block(c, block_begin, block_length, cache_end,
			       is_first_block, is_final_block);
	deflate_flush_block(c, os, block_begin, block_length, NULL,
			    is_final_block);
}

LIBDEFLATEEXPORT int LIBDEFLATEAPI
libdeflate_set_block_division(struct libdeflate_compressor *c, int divide)
{
	if (c->compression_level < 10)
		return 0;
	c->p.n.division.on = divide != 0;
	return 1;
}

#endif /* LIB_BLOCK_DIVISION_IMPL_H */
