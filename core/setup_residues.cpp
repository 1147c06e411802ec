#include "core/setup_residues.h"

#include <algorithm>

namespace {

constexpr long RESIDUE_TYPES = 3;

int highest_bit(long cascade) {
    int bits = 0;
    for (; cascade != 0; cascade >>= 1) ++bits;
    return bits;
}

int bit_count(long cascade) {
    int bits = 0;
    for (; cascade != 0; cascade >>= 1) bits += static_cast<int>(cascade & 1);
    return bits;
}

// Each class's cascade: the stages that code values for it. Returns the
// stage books the classes call for, -1 where the header ran out.
long walk_cascades(setup_bits &b, residue_shape &residue) {
    long stage_books = 0;
    residue.staged_classes = 0;
    residue.class_stages = 0;
    for (long c = 0; c < residue.classes; ++c) {
        const long low_bits = b.read(3);
        const long high_bits = b.read(1) == 1 ? b.read(5) : 0;
        // a read past the header's end gives -1, which must not be shifted
        if (b.ran_out()) return -1;
        const long cascade = low_bits | high_bits << 3;
        stage_books += bit_count(cascade);
        residue.staged_classes += cascade != 0;
        residue.class_stages += highest_bit(cascade);
    }
    return stage_books;
}

// The stage books, which must map values. Residue 0 decodes a partition
// through a stack array of one long and one pointer per codeword: partition
// size / book dimensions of them.
bool walk_stage_books(setup_bits &b, const setup_shape &shape, residue_shape &residue, long stage_books) {
    residue.partition_size_per_book_value = 0;
    for (long i = 0; i < stage_books; ++i) {
        const long book = b.read(8);
        if (b.ran_out() || book >= shape.books || shape.book[book].lookup_type == 0) return false;
        const long per_value = residue.partition_size / shape.book[book].dimensions;
        residue.partition_size_per_book_value = std::max(residue.partition_size_per_book_value, per_value);
    }
    return true;
}

// Tremor requires classes ^ dimensions of the class book to stay within its
// entries, and keeps a decode map of that many class words.
bool count_class_words(const setup_shape &shape, residue_shape &residue, long class_book) {
    const book_shape &book = shape.book[class_book];
    residue.class_book_dimensions = book.dimensions;
    residue.class_words = 1;
    if (book.dimensions < 1) return false;
    for (long d = 0; d < book.dimensions; ++d) {
        residue.class_words *= residue.classes;
        if (residue.class_words > book.entries) return false;
    }
    return true;
}

bool walk_residue(setup_bits &b, const setup_shape &shape, residue_shape &residue) {
    b.read(24);  // where coding begins
    b.read(24);  // and ends
    residue.partition_size = b.read(24) + 1;
    residue.classes = b.read(6) + 1;
    const long class_book = b.read(8);
    if (b.ran_out()) return false;
    const long stage_books = walk_cascades(b, residue);
    if (stage_books < 0 || !walk_stage_books(b, shape, residue, stage_books)) return false;
    return class_book < shape.books && count_class_words(shape, residue, class_book);
}

}  // namespace

bool walk_residues(setup_bits &b, setup_shape &shape) {
    shape.residues = static_cast<int>(b.read(6) + 1);
    for (int i = 0; i < shape.residues && !b.ran_out(); ++i) {
        residue_shape &residue = shape.residue[i];
        residue.type = static_cast<int>(b.read(16));
        if (b.ran_out() || residue.type >= RESIDUE_TYPES) return false;
        if (!walk_residue(b, shape, residue)) return false;
    }
    return !b.ran_out();
}
