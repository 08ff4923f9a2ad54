// Minimal PNG encoder: 8-bit RGB, one IDAT made of stored deflate blocks.
#ifndef BOXANSWER_PNG_WRITER_H
#define BOXANSWER_PNG_WRITER_H

#include <cstdint>
#include <string>
#include <vector>

namespace boxanswer {

// rgb holds height rows of width * 3 bytes (R, G, B), top row first.
// The file is written without compression: screenshots are only looked at
// by people debugging a failed test, so size does not matter, and this keeps
// the test tool free of any library beyond the Windows system DLLs.
bool WritePngRgb(const std::string& path, int width, int height,
                 const std::vector<uint8_t>& rgb, std::string* error);

// Exposed for self-checks.
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t size, uint32_t adler = 1);

}  // namespace boxanswer

#endif
