#include "deflate.h"

#include <algorithm>

namespace boxanswer {

namespace {

const size_t kMinMatch = 3;
const size_t kMaxMatch = 258;
const size_t kWindow = 32768;  // the farthest a match may look back
const size_t kHashBits = 15;
// How many earlier places with the same three bytes are tried: enough for
// screen contents, where the nearest candidates nearly always win.
const int kMaxChain = 64;

// Lengths 3..258 and distances 1..32768 are sent as a code for a range
// plus extra bits for the place in it (RFC 1951, 3.2.5).
const uint16_t kLengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t kLengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t kDistanceBase[] = {1,    2,    3,    4,    5,    7,     9,     13,    17,   25,
                                  33,   49,   65,   97,   129,  193,   257,   385,   513,  769,
                                  1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t kDistanceExtra[] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                  6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The range a value falls in: the last base not above it.
template <size_t N>
size_t RangeOf(const uint16_t (&base)[N], size_t value) {
  size_t code = N - 1;
  while (base[code] > value) --code;
  return code;
}

// Deflate packs bits from the least significant end of each byte, but
// Huffman codes go most significant bit first.
class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>* out) : out_(out) {}

  void Put(uint32_t value, int count) {
    pending_ |= value << pendingCount_;
    pendingCount_ += count;
    while (pendingCount_ >= 8) {
      out_->push_back(static_cast<uint8_t>(pending_));
      pending_ >>= 8;
      pendingCount_ -= 8;
    }
  }
  void PutCode(uint32_t code, int length) {
    uint32_t reversed = 0;
    for (int i = 0; i < length; ++i) reversed |= ((code >> i) & 1u) << (length - 1 - i);
    Put(reversed, length);
  }
  void Flush() {
    if (pendingCount_ > 0) out_->push_back(static_cast<uint8_t>(pending_));
    pending_ = 0;
    pendingCount_ = 0;
  }

 private:
  std::vector<uint8_t>* out_;
  uint32_t pending_ = 0;
  int pendingCount_ = 0;
};

// The fixed literal/length code (RFC 1951, 3.2.6).
void PutLiteralOrLength(BitWriter* bits, uint32_t symbol) {
  if (symbol < 144) {
    bits->PutCode(0x30 + symbol, 8);
  } else if (symbol < 256) {
    bits->PutCode(0x190 + symbol - 144, 9);
  } else if (symbol < 280) {
    bits->PutCode(symbol - 256, 7);
  } else {
    bits->PutCode(0xC0 + symbol - 280, 8);
  }
}

void PutMatch(BitWriter* bits, size_t length, size_t distance) {
  const size_t lengthCode = RangeOf(kLengthBase, length);
  PutLiteralOrLength(bits, static_cast<uint32_t>(257 + lengthCode));
  bits->Put(static_cast<uint32_t>(length - kLengthBase[lengthCode]), kLengthExtra[lengthCode]);
  const size_t distanceCode = RangeOf(kDistanceBase, distance);
  bits->PutCode(static_cast<uint32_t>(distanceCode), 5);  // fixed distance codes: 5 bits
  bits->Put(static_cast<uint32_t>(distance - kDistanceBase[distanceCode]),
            kDistanceExtra[distanceCode]);
}

// Finds earlier occurrences of the three bytes at a position: head_ holds
// the latest position of each hash, previous_ links each position to the
// one before it with the same hash, over the last kWindow positions.
class MatchFinder {
 public:
  explicit MatchFinder(const std::vector<uint8_t>& data)
      : data_(data), head_(size_t{1} << kHashBits, kNone), previous_(kWindow, kNone) {}

  // The longest earlier match at `at`; length 0 when there is none of at
  // least kMinMatch bytes.
  void Longest(size_t at, size_t* length, size_t* distance) const {
    *length = 0;
    if (at + kMinMatch > data_.size()) return;
    const size_t most = std::min(kMaxMatch, data_.size() - at);
    size_t candidate = head_[Hash(at)];
    for (int tries = 0; candidate != kNone && at - candidate <= kWindow && tries < kMaxChain;
         ++tries) {
      size_t same = 0;
      while (same < most && data_[candidate + same] == data_[at + same]) ++same;
      if (same > *length) {
        *length = same;
        *distance = at - candidate;
        if (same == most) break;
      }
      candidate = previous_[candidate % kWindow];
    }
    if (*length < kMinMatch) *length = 0;
  }

  void Insert(size_t at) {
    if (at + kMinMatch > data_.size()) return;
    const size_t hash = Hash(at);
    previous_[at % kWindow] = head_[hash];
    head_[hash] = at;
  }

 private:
  static constexpr size_t kNone = ~size_t{0};

  size_t Hash(size_t at) const {
    const uint32_t three = (uint32_t{data_[at]} << 16) | (uint32_t{data_[at + 1]} << 8) |
                           data_[at + 2];
    return (three * 2654435761u) >> (32 - kHashBits);
  }

  const std::vector<uint8_t>& data_;
  std::vector<size_t> head_;
  std::vector<size_t> previous_;
};

uint32_t Adler32(const std::vector<uint8_t>& data) {
  uint32_t a = 1;
  uint32_t b = 0;
  for (uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

}  // namespace

std::vector<uint8_t> ZlibCompress(const std::vector<uint8_t>& data) {
  // CMF/FLG: deflate with a 32K window, no dictionary, header checksum.
  std::vector<uint8_t> out = {0x78, 0x01};
  BitWriter bits(&out);
  bits.Put(1, 1);  // BFINAL: the only block
  bits.Put(1, 2);  // BTYPE 01: fixed Huffman codes
  MatchFinder finder(data);
  for (size_t at = 0; at < data.size();) {
    size_t length = 0;
    size_t distance = 0;
    finder.Longest(at, &length, &distance);
    if (length == 0) {
      PutLiteralOrLength(&bits, data[at]);
      length = 1;
    } else {
      PutMatch(&bits, length, distance);
    }
    for (const size_t end = at + length; at < end; ++at) finder.Insert(at);
  }
  PutLiteralOrLength(&bits, 256);  // end of block
  bits.Flush();
  const uint32_t adler = Adler32(data);
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(adler >> shift));
  return out;
}

}  // namespace boxanswer
