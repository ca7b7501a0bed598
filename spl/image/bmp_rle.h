// Run-length coding of BMP pixel data at 4 and 8 bits per pixel as BMP files store it:
// encoded runs, absolute runs padded to 16 bits, end of line, end of bitmap and delta codes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Escape codes that follow a zero count byte.
constexpr uint8_t kRleEndOfLine = 0;
constexpr uint8_t kRleEndOfBitmap = 1;
constexpr uint8_t kRleDelta = 2;
constexpr int kRleMaxRun = 255;  // pixels in one encoded or absolute run

// Decodes run-length data into a zeroed pixel area of rows stored rows of bpl bytes, the
// first stored row first (the bottom row of a bottom-up picture).
//   bits: 4 or 8; width >= 1 pixels, rows >= 1, bpl >= the bytes of one row
// False when a run, an absolute run or a delta leaves the stored rows (runs into a row's
// padding are taken, as some writers code it, and dropped), a code is cut off, or the data
// ends without end of bitmap. Pixels the data skips stay 0.
bool DecodeBmpRle(const uint8_t* data, size_t size, int bits, int width, int rows,
                  uint8_t* pixels, int bpl);

// Appends the coding of one stored row of width pixels (4 or 8 bits, packed as stored),
// ended by end of line, or by end of bitmap for the last row.
void EncodeBmpRleRow(const uint8_t* row, int width, int bits, bool last,
                     std::vector<uint8_t>& out);
