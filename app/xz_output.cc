#include "app/xz_output.h"

#include <lzma.h>
#include <stdint.h>

#include <algorithm>

#include "host/files/file_size.h"
#include "host/files/whole_file.h"

namespace {

// An index takes about 10 bytes a block: 64 MiB lists some 6 million
// blocks, 48 TB in xz's own 8 MiB blocks.
const int64_t kMaxIndexBytes = 64 << 20;

const uint8_t* Bytes(const std::string& text) {
  return reinterpret_cast<const uint8_t*>(text.data());
}

}  // namespace

XzFileCheck CheckXzFile(const std::string& path) {
  const XzFileCheck kNot = {XzFileCheck::kNotWhole, "", 0};
  std::string header, footer, index_bytes, failure;
  // A read the system refused makes the file unreadable; a short one, not whole.
  auto refused = [&] {
    return failure.empty() ? kNot : XzFileCheck{XzFileCheck::kUnreadable, failure, 0};
  };
  if (!ReadFileRange(path, 0, LZMA_STREAM_HEADER_SIZE, &header, &failure))
    return refused();
  int64_t size = GrowingFileSize(path);
  if (size < 2 * LZMA_STREAM_HEADER_SIZE)
    return kNot;
  if (!ReadFileRange(path, size - LZMA_STREAM_HEADER_SIZE, LZMA_STREAM_HEADER_SIZE, &footer,
                     &failure))
    return refused();
  lzma_stream_flags header_flags, footer_flags;
  if (lzma_stream_header_decode(&header_flags, Bytes(header)) != LZMA_OK ||
      lzma_stream_footer_decode(&footer_flags, Bytes(footer)) != LZMA_OK ||
      lzma_stream_flags_compare(&header_flags, &footer_flags) != LZMA_OK)
    return kNot;
  // The index ends where the footer begins and lists every block: with them,
  // the stream's size is the file's.
  int64_t index_size = static_cast<int64_t>(footer_flags.backward_size);
  if (index_size > size - 2 * LZMA_STREAM_HEADER_SIZE || index_size > kMaxIndexBytes)
    return kNot;
  if (!ReadFileRange(path, size - LZMA_STREAM_HEADER_SIZE - index_size,
                     static_cast<size_t>(index_size), &index_bytes, &failure))
    return refused();
  lzma_index* index = nullptr;
  uint64_t memory_limit = 4 * kMaxIndexBytes;
  size_t position = 0;
  bool whole = lzma_index_buffer_decode(&index, &memory_limit, nullptr, Bytes(index_bytes),
                                        &position, index_bytes.size()) == LZMA_OK &&
               position == index_bytes.size() &&
               lzma_index_stream_size(index) == static_cast<uint64_t>(size);
  uint64_t uncompressed = whole ? lzma_index_uncompressed_size(index) : 0;
  lzma_index_end(index, nullptr);
  return whole ? XzFileCheck{XzFileCheck::kWhole, "", uncompressed} : kNot;
}

std::string XzMessages(const std::string& said) {
  std::string messages;
  for (size_t start = 0; start < said.size();) {
    size_t end = std::min(said.find('\n', start), said.size());
    if (said.compare(start, 4, "xz: ") == 0)
      messages += (messages.empty() ? "" : "\n") + said.substr(start, end - start);
    start = end + 1;
  }
  return messages;
}
