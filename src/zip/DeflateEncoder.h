#pragma once
// Raw deflate encoder (RFC 1951, 32 KiB window) for the ZIP writer. It
// streams: memory stays bounded by a constant whatever the input size.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace ns {

// The literal bytes of the encoder's first block, counted in the two groups
// that tell text from binary data.
struct LiteralCounts {
  uint64_t binary = 0;  // byte values 0-6 and 128-255
  uint64_t text = 0;    // byte values 7-127
};

class DeflateEncoder {
 public:
  // Receives the compressed stream in order. It may throw (a full disk, say):
  // the exception reaches the caller of Write or Finish, the encoder is then
  // unusable, and destroying it is safe.
  using Sink = std::function<void(const uint8_t* data, size_t size)>;

  // `level` 1-9 (the program uses 6). `processors`: how many the caller may
  // use (its affinity, see UsableProcessorCount). One compresses on the
  // caller's thread alone; more start up to that many worker threads, but
  // never more than there are segments in flight, so a small file starts
  // one or none. The output is the same for any count.
  DeflateEncoder(int level, Sink sink, unsigned processors);
  ~DeflateEncoder();
  DeflateEncoder(const DeflateEncoder&) = delete;
  DeflateEncoder& operator=(const DeflateEncoder&) = delete;

  // The next piece of the input; the encoder may hold some of it back until
  // more arrives or Finish is called.
  void Write(const uint8_t* data, size_t size);

  // Write without the copy: the input is read straight into the space this
  // returns (never empty), and Commit says how much of it now holds input.
  std::span<uint8_t> InputSpace();
  void Commit(size_t size);

  // Ends the stream with its final block and hands everything to the sink.
  void Finish();

  // Valid after Finish: the literal counts of the first block emitted (all
  // zero for empty input).
  LiteralCounts FirstBlockLiterals() const;

  // Input no longer than this is encoded as one single (first) block, so the
  // ZIP writer can compare it with its stored form.
  static size_t FirstBlockCapacity();

  // Worker threads started so far.
  unsigned WorkerThreads() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ns
