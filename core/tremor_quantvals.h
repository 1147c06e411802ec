// How many values a lookup type 1 codebook stores: the largest count whose
// power dimensions is at most entries. Tremor reads that many values from
// the header and indexes them by that count while it expands the book, but
// finds the count with products of longs that overflow for a large number of
// dimensions (one used entry and 63 dimensions where long has 64 bits, from
// about 31 where it has 32): it then reads the wrong number of values, and
// divides by a count that has wrapped to 0.
#ifndef VELMORA_TREMOR_QUANTVALS_H
#define VELMORA_TREMOR_QUANTVALS_H

// The true count (dimensions at least 1).
long lookup1_values(long entries, long dimensions);

// The count Tremor's own search arrives at, in its own arithmetic on this
// machine, or -1 where its search leaves the counts that could be right
// (it would return a wrong one, or never end).
long tremor_lookup1_values(long entries, long dimensions);

#endif  // VELMORA_TREMOR_QUANTVALS_H
