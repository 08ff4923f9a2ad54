#include "png_writer.h"

#include <cstdio>
#include <cstdlib>

#include "deflate.h"

namespace boxanswer {

namespace {

const size_t kBytesPerPixel = 3;

uint32_t Crc32(const uint8_t* data, size_t size) {
  static uint32_t table[256];
  static bool tableReady = false;
  if (!tableReady) {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    tableReady = true;
  }
  uint32_t crc = ~0u;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutU32(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v >> 24));
  out->push_back(static_cast<uint8_t>(v >> 16));
  out->push_back(static_cast<uint8_t>(v >> 8));
  out->push_back(static_cast<uint8_t>(v));
}

void PutChunk(std::vector<uint8_t>* out, const char type[4],
              const std::vector<uint8_t>& data) {
  PutU32(out, static_cast<uint32_t>(data.size()));
  const size_t typeAt = out->size();
  out->insert(out->end(), type, type + 4);
  out->insert(out->end(), data.begin(), data.end());
  // The CRC covers the chunk type and data, not the length.
  PutU32(out, Crc32(out->data() + typeAt, 4 + data.size()));
}

// PNG filter types: each byte is sent as its difference from nothing,
// from the same colour of the pixel on its left, or from the byte above.
enum Filter : uint8_t { kNone = 0, kSub = 1, kUp = 2 };

uint8_t Filtered(Filter filter, const uint8_t* row, const uint8_t* above, size_t i) {
  const uint8_t left = i >= kBytesPerPixel ? row[i - kBytesPerPixel] : 0;
  const uint8_t up = above != nullptr ? above[i] : 0;
  const uint8_t predicted = filter == kSub ? left : filter == kUp ? up : 0;
  return static_cast<uint8_t>(row[i] - predicted);
}

// Appends the row with the filter whose differences are nearest zero (as
// signed bytes), the usual choice of PNG encoders: flat areas then become
// runs of zeros, which deflate shrinks best.  `above` is null for the top
// row.
void PutFilteredRow(const uint8_t* row, const uint8_t* above, size_t rowBytes,
                    std::vector<uint8_t>* out) {
  Filter best = kNone;
  long bestSum = -1;
  for (Filter filter : {kNone, kSub, kUp}) {
    long sum = 0;
    for (size_t i = 0; i < rowBytes; ++i) {
      sum += std::abs(static_cast<int8_t>(Filtered(filter, row, above, i)));
    }
    if (bestSum < 0 || sum < bestSum) {
      best = filter;
      bestSum = sum;
    }
  }
  out->push_back(best);
  for (size_t i = 0; i < rowBytes; ++i) out->push_back(Filtered(best, row, above, i));
}

}  // namespace

bool WritePngRgb(const std::string& path, int width, int height,
                 const std::vector<uint8_t>& rgb, std::string* error) {
  if (width <= 0 || height <= 0 ||
      rgb.size() != static_cast<size_t>(width) * height * 3) {
    if (error) *error = "bad image size";
    return false;
  }

  const size_t rowBytes = static_cast<size_t>(width) * kBytesPerPixel;
  std::vector<uint8_t> filtered;
  filtered.reserve((rowBytes + 1) * height);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = rgb.data() + rowBytes * y;
    PutFilteredRow(row, y > 0 ? row - rowBytes : nullptr, rowBytes, &filtered);
  }

  std::vector<uint8_t> ihdr;
  PutU32(&ihdr, static_cast<uint32_t>(width));
  PutU32(&ihdr, static_cast<uint32_t>(height));
  ihdr.push_back(8);  // bit depth
  ihdr.push_back(2);  // colour type: truecolour
  ihdr.push_back(0);  // compression: deflate
  ihdr.push_back(0);  // filter method 0
  ihdr.push_back(0);  // no interlace

  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(&file, "IHDR", ihdr);
  PutChunk(&file, "IDAT", ZlibCompress(filtered));
  PutChunk(&file, "IEND", {});

  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) {
    if (error) *error = "cannot create " + path;
    return false;
  }
  const bool ok = fwrite(file.data(), 1, file.size(), f) == file.size();
  const bool closed = fclose(f) == 0;
  if (!ok || !closed) {
    if (error) *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace boxanswer
