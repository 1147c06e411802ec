#include "core/comment_layout.h"

#include <iterator>

namespace {

constexpr unsigned char COMMENT_PREFIX[] = {3, 'v', 'o', 'r', 'b', 'i', 's'};
// Tremor reads each field into an int: from 2^31 on, the value is negative.
constexpr std::uint32_t FIRST_NEGATIVE = 0x80000000u;
constexpr std::uint32_t INT_MAX_VALUE = 0x7FFFFFFFu;

}  // namespace

void comment_layout::take(const unsigned char *bytes, long count) {
    while (count > 0 && field_ != field::done && field_ != field::malformed) {
        if (field_ == field::vendor || field_ == field::comment) {
            pass_text(bytes, count);
        } else {
            take_byte(*bytes++);
            --count;
        }
    }
}

void comment_layout::take_byte(unsigned char byte) {
    if (field_ == field::prefix) {
        if (byte != COMMENT_PREFIX[at_]) field_ = field::malformed;
        else if (++at_ == static_cast<int>(std::size(COMMENT_PREFIX))) {
            at_ = 0;
            field_ = field::vendor_length;
        }
    } else if (field_ == field::framing) {
        field_ = (byte & 1) != 0 ? field::done : field::malformed;
    } else {
        word_ |= static_cast<std::uint32_t>(byte) << (8 * at_);
        if (++at_ == 4) {
            const std::uint32_t value = word_;
            at_ = 0;
            word_ = 0;
            finish_word(value);
        }
    }
}

void comment_layout::finish_word(std::uint32_t value) {
    if (value >= FIRST_NEGATIVE) {
        field_ = field::malformed;
    } else if (field_ == field::vendor_length) {
        begin_text(field::vendor, value);
    } else if (field_ == field::comment_length) {
        begin_text(field::comment, value);
    } else if (value == INT_MAX_VALUE) {  // the comment count
        field_ = field::malformed;
    } else {
        comments_left_ = value;
        next_comment();
    }
}

void comment_layout::begin_text(field text, std::uint32_t length) {
    field_ = text;
    text_left_ = length;
    if (length == 0) end_text();
}

void comment_layout::pass_text(const unsigned char *&bytes, long &count) {
    const long passed = count < static_cast<long>(text_left_) ? count : static_cast<long>(text_left_);
    bytes += passed;
    count -= passed;
    text_left_ -= static_cast<std::uint32_t>(passed);
    if (text_left_ == 0) end_text();
}

void comment_layout::end_text() {
    if (field_ == field::vendor) field_ = field::count;
    else next_comment();
}

void comment_layout::next_comment() {
    if (comments_left_ == 0) {
        field_ = field::framing;
    } else {
        --comments_left_;
        field_ = field::comment_length;
    }
}
