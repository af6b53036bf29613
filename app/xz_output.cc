#include "app/xz_output.h"

#include <lzma.h>
#include <stdint.h>

#include <fstream>
#include <vector>

#include "host/file_size.h"

namespace {

bool ReadAt(std::ifstream& in, int64_t offset, uint8_t* out, size_t size) {
  in.seekg(offset);
  in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
  return static_cast<size_t>(in.gcount()) == size;
}

}  // namespace

bool IsWholeXzFile(const std::string& path) {
  int64_t size = GrowingFileSize(path);
  std::ifstream in(path, std::ios::binary);
  uint8_t header[LZMA_STREAM_HEADER_SIZE], footer[LZMA_STREAM_HEADER_SIZE];
  if (!in || size < 2 * LZMA_STREAM_HEADER_SIZE || !ReadAt(in, 0, header, sizeof(header)) ||
      !ReadAt(in, size - LZMA_STREAM_HEADER_SIZE, footer, sizeof(footer)))
    return false;
  lzma_stream_flags header_flags, footer_flags;
  if (lzma_stream_header_decode(&header_flags, header) != LZMA_OK ||
      lzma_stream_footer_decode(&footer_flags, footer) != LZMA_OK ||
      lzma_stream_flags_compare(&header_flags, &footer_flags) != LZMA_OK)
    return false;
  // The index ends where the footer begins and lists every block: with them,
  // the stream's size is the file's.
  int64_t index_size = static_cast<int64_t>(footer_flags.backward_size);
  if (index_size > size - 2 * LZMA_STREAM_HEADER_SIZE)
    return false;
  std::vector<uint8_t> index_bytes(static_cast<size_t>(index_size));
  if (!ReadAt(in, size - LZMA_STREAM_HEADER_SIZE - index_size, index_bytes.data(), index_bytes.size()))
    return false;
  lzma_index* index = nullptr;
  uint64_t memory_limit = UINT64_MAX;
  size_t position = 0;
  bool whole = lzma_index_buffer_decode(&index, &memory_limit, nullptr, index_bytes.data(),
                                        &position, index_bytes.size()) == LZMA_OK &&
               position == index_bytes.size() &&
               lzma_index_stream_size(index) == static_cast<uint64_t>(size);
  lzma_index_end(index, nullptr);
  return whole;
}
