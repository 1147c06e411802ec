// What a walk of the setup header found: the parts of each codebook, floor,
// residue, mapping and mode that decide what Tremor allocates for them, and
// on its stack, once synthesis is set up. Held on the heap (about 23 KB).
#ifndef VELMORA_SETUP_SHAPE_H
#define VELMORA_SETUP_SHAPE_H

constexpr int MOST_BOOKS = 256;
constexpr int MOST_BACKENDS = 64;  // floors, residues, mappings, modes
constexpr int MOST_SUBMAPS = 16;

struct book_shape {
    long dimensions;
    long entries;
    long used_entries;  // those with a codeword
    int lookup_type;    // 0: no values; 1 or 2: value-mapped
};

struct floor_shape {
    int type;
    long bark_map;  // floor 0: the size of its bark-scale table
};

struct residue_shape {
    int type;
    long partition_size;         // values coded per partition
    long classes;                // partition classes
    long class_book_dimensions;  // classes coded per codeword
    long class_words;            // classes ^ dimensions: Tremor's decode map
    long staged_classes;         // classes with at least one stage book
    long class_stages;           // stage-book slots over those classes
    long partition_size_per_book_value;  // residue 0: the most of partition size / book dimensions
};

struct mapping_shape {
    int submaps;
    int floor[MOST_SUBMAPS];
    int residue[MOST_SUBMAPS];
};

struct mode_shape {
    int long_block;  // 1 when the mode uses the long block size
    int mapping;
};

struct setup_shape {
    int books = 0;
    int floors = 0;
    int residues = 0;
    int mappings = 0;
    int modes = 0;
    book_shape book[MOST_BOOKS];
    floor_shape floor[MOST_BACKENDS];
    residue_shape residue[MOST_BACKENDS];
    mapping_shape mapping[MOST_BACKENDS];
    mode_shape mode[MOST_BACKENDS];
};

#endif  // VELMORA_SETUP_SHAPE_H
