#pragma once
// Raw deflate decoder (RFC 1951, 32 KiB window), used to read archives back
// after they are written. It streams: input is pulled from a source and the
// data pushed to a sink in pieces, so memory stays constant whatever the
// size. It is strict: a stream that is damaged in any way the format can
// show (a bad block type, an over-subscribed or incomplete code, a distance
// before the start of the data, lengths that run past their table, a stored
// block whose length check fails, input that ends early or goes on after the
// final block) ends with an error text, never with a crash or a loop that
// does not end.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ns {

struct TInflateResult {
  bool ok = false;
  std::string error;  // why the stream was refused; empty when ok
  uint64_t size = 0;  // bytes of data handed to the sink
  uint64_t blocks = 0;  // blocks decoded, the empty aligning ones included
};

class TInflater {
 public:
  // Fills up to `size` bytes with the next input and returns how many;
  // 0 means the input has ended. It may throw: the exception reaches the
  // caller of Inflate.
  using Source = std::function<size_t(uint8_t* buffer, size_t size)>;
  // Receives the data in order. It may throw likewise.
  using Sink = std::function<void(const uint8_t* data, size_t size)>;

  TInflater();
  ~TInflater();
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;

  // Decodes one stream. Everything the source gives belongs to it: input
  // left after the final block is an error. A stream whose data would pass
  // `sizeLimit` bytes is stopped there with an error. The object can decode
  // any number of streams, one after another.
  TInflateResult Inflate(const Source& source, const Sink& sink, uint64_t sizeLimit = UINT64_MAX);
  // The same for a stream that is in memory as a whole: it is read where it
  // lies, and stored data reaches the sink from there, copied nowhere.
  TInflateResult Inflate(const uint8_t* data, size_t size, const Sink& sink, uint64_t sizeLimit = UINT64_MAX);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The whole stream `data` decoded into `out` (replacing what it held).
TInflateResult InflateBuffer(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

}  // namespace ns
