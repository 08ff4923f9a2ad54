#include "png_writer.h"

#include <cstdio>

namespace boxanswer {

namespace {

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

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
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
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t Adler32(const uint8_t* data, size_t size, uint32_t adler) {
  uint32_t a = adler & 0xFFFF;
  uint32_t b = adler >> 16;
  for (size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

bool WritePngRgb(const std::string& path, int width, int height,
                 const std::vector<uint8_t>& rgb, std::string* error) {
  if (width <= 0 || height <= 0 ||
      rgb.size() != static_cast<size_t>(width) * height * 3) {
    if (error) *error = "bad image size";
    return false;
  }

  // Scanlines, each prefixed with filter type 0 (none).
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  std::vector<uint8_t> raw;
  raw.reserve((rowBytes + 1) * height);
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    const uint8_t* row = rgb.data() + rowBytes * y;
    raw.insert(raw.end(), row, row + rowBytes);
  }

  // zlib stream: CMF/FLG (deflate, 32K window, no dictionary, header
  // checksum valid), stored blocks of at most 65535 bytes, Adler-32.
  std::vector<uint8_t> zlib;
  zlib.reserve(raw.size() + raw.size() / 65535 * 5 + 16);
  zlib.push_back(0x78);
  zlib.push_back(0x01);
  size_t offset = 0;
  do {
    const size_t len = raw.size() - offset < 65535 ? raw.size() - offset : 65535;
    const bool last = offset + len == raw.size();
    zlib.push_back(last ? 1 : 0);  // BFINAL, BTYPE=00 (stored)
    zlib.push_back(static_cast<uint8_t>(len));
    zlib.push_back(static_cast<uint8_t>(len >> 8));
    zlib.push_back(static_cast<uint8_t>(~len));
    zlib.push_back(static_cast<uint8_t>(~len >> 8));
    zlib.insert(zlib.end(), raw.begin() + offset, raw.begin() + offset + len);
    offset += len;
  } while (offset < raw.size());
  PutU32(&zlib, Adler32(raw.data(), raw.size()));

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
  PutChunk(&file, "IDAT", zlib);
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
