// A small deflate compressor for the screenshots: no library beyond the
// C++ standard library, as everywhere in the tools.
#ifndef BOXANSWER_DEFLATE_H
#define BOXANSWER_DEFLATE_H

#include <cstdint>
#include <vector>

namespace boxanswer {

// `data` as a zlib stream (RFC 1950): one deflate block (RFC 1951) of
// LZ77 matches, found through a hash chain, in the fixed Huffman codes.
// Screenshots are mostly flat colour, which this already shrinks about
// a hundredfold; dynamic codes would gain little for much more code.
std::vector<uint8_t> ZlibCompress(const std::vector<uint8_t>& data);

}  // namespace boxanswer

#endif
