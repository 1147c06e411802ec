// Checks a comment header's layout as its bytes go by, without keeping them,
// so a comment header of any size can be passed over and still be refused
// exactly where Tremor's own unpacking would refuse it.
#ifndef VELMORA_COMMENT_LAYOUT_H
#define VELMORA_COMMENT_LAYOUT_H

#include <cstdint>

// The layout, all integers 32-bit little-endian: packet type 3 and "vorbis",
// vendor length and vendor string, comment count, then per comment its length
// and text, then a framing byte whose low bit is 1. Bytes after it are
// ignored. Tremor refuses a length or count it reads as negative, a count of
// INT_MAX, and any field that runs past the packet's end.
class comment_layout {
public:
    // Follows the next bytes of the packet.
    void take(const unsigned char *bytes, long count);

    // Whether the bytes taken so far make a whole comment header that Tremor
    // accepts; asked once the packet has ended.
    bool complete() const { return field_ == field::done; }

    // Whether the bytes taken so far already make the header malformed, so
    // that no further byte can mend it.
    bool malformed() const { return field_ == field::malformed; }

private:
    enum class field { prefix, vendor_length, vendor, count, comment_length, comment, framing, done, malformed };

    void take_byte(unsigned char byte);
    void finish_word(std::uint32_t value);
    void begin_text(field text, std::uint32_t length);
    void pass_text(const unsigned char *&bytes, long &count);
    void end_text();
    void next_comment();

    field field_ = field::prefix;
    int at_ = 0;                       // bytes seen of the prefix or of the word
    std::uint32_t word_ = 0;           // the 32-bit field being read
    std::uint32_t text_left_ = 0;      // bytes of the vendor or comment text to pass
    std::uint32_t comments_left_ = 0;  // comments not yet begun
};

#endif  // VELMORA_COMMENT_LAYOUT_H
