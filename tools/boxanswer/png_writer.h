// Minimal PNG encoder: 8-bit RGB, each row filtered, one deflated IDAT.
#ifndef BOXANSWER_PNG_WRITER_H
#define BOXANSWER_PNG_WRITER_H

#include <cstdint>
#include <string>
#include <vector>

namespace boxanswer {

// rgb holds height rows of width * 3 bytes (R, G, B), top row first.
bool WritePngRgb(const std::string& path, int width, int height,
                 const std::vector<uint8_t>& rgb, std::string* error);

}  // namespace boxanswer

#endif
