// The input is cut into segments (deflate/SegmentCompressor.h). With one
// thread they are compressed in turn on the caller's thread; with more, on
// worker threads, while the caller keeps reading and hands the results to
// the sink in stream order. The sink is only ever called on the caller's
// thread, so its exceptions reach the caller as they are.
#include "zip/DeflateEncoder.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "zip/deflate/SegmentCompressor.h"

namespace ns {

using deflate::kSegmentSize;
using deflate::kWindowSize;
using deflate::TSegment;
using deflate::TSegmentCompressor;

namespace {

// Tunables.
// Segments in flight per worker: one being compressed and one waiting, so
// that no worker idles while the caller hands output to the sink.
constexpr unsigned kSegmentsPerThread = 2;
// Each segment in flight costs about 2 MiB (its input and its output) and
// each worker about 1.3 MiB (match finder and sequences): twelve of both
// keep the process well under 64 MiB on a machine of any size, where more
// threads would mostly wait for the disk anyway.
constexpr unsigned kMaxSegmentsInFlight = 12;
}  // namespace

struct DeflateEncoder::Impl {
  struct TJob {
    std::unique_ptr<TSegment> segment;
    bool done = false;
    std::exception_ptr error;
  };

  Impl(int level, Sink sinkIn, unsigned processors)
      : params(deflate::LevelParams(level)),
        sink(std::move(sinkIn)),
        maxInFlight(std::min(std::max(1u, processors) * kSegmentsPerThread, kMaxSegmentsInFlight)),
        threads(std::min(std::max(1u, processors), maxInFlight)) {
    filling = std::make_unique<TSegment>();
    filling->first = true;
  }

  ~Impl() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
    }
    workAvailable.notify_all();
    for (std::thread& t : workers) t.join();
  }

  void Write(const uint8_t* data, size_t size) {
    while (size > 0) {
      const std::span<uint8_t> space = InputSpace();
      const size_t n = std::min(size, space.size());
      std::memcpy(space.data(), data, n);
      Commit(n);
      data += n;
      size -= n;
    }
  }

  std::span<uint8_t> InputSpace() {
    if (finished) throw std::logic_error("DeflateEncoder: input after Finish");
    Guarded([&] {
      if (filling->dataSize == kSegmentSize) Seal();
    });
    return {filling->Data() + filling->dataSize, kSegmentSize - filling->dataSize};
  }

  void Commit(size_t size) {
    if (finished || size > kSegmentSize - filling->dataSize)
      throw std::logic_error("DeflateEncoder: more input committed than there was space for");
    filling->dataSize += size;
  }

  void Finish() {
    Guarded([&] {
      if (finished) return;
      finished = true;
      filling->last = true;
      Submit(std::move(filling));
      while (!inFlight.empty()) EmitOldest();
    });
  }

  // Once the sink or a worker has failed, part of the stream is lost: every
  // later call fails too instead of producing a damaged stream.
  template <typename F>
  void Guarded(F&& work) {
    if (broken) throw std::logic_error("DeflateEncoder: used after a failure");
    try {
      work();
    } catch (...) {
      broken = true;
      throw;
    }
  }

  // Starts the next segment, primed with the window before it, and sends
  // the full one off.
  void Seal() {
    std::unique_ptr<TSegment> next;
    if (!spare.empty()) {
      next = std::move(spare.back());
      spare.pop_back();
    } else {
      next = std::make_unique<TSegment>();
    }
    const size_t have = filling->windowSize + filling->dataSize;
    const size_t window = std::min<size_t>(have, kWindowSize);
    std::memcpy(next->input.get(), filling->input.get() + have - window, window);
    next->windowSize = window;
    next->dataSize = 0;
    next->first = next->last = false;
    std::unique_ptr<TSegment> full = std::move(filling);
    filling = std::move(next);
    Submit(std::move(full));
  }

  void Submit(std::unique_ptr<TSegment> segment) {
    // One thread, or a last segment with nothing ahead of it (every small
    // file): no reason to involve a worker.
    if (threads == 1 || (segment->last && inFlight.empty())) {
      if (!inlineCompressor) inlineCompressor = std::make_unique<TSegmentCompressor>(params);
      inlineCompressor->Compress(*segment);
      Emit(std::move(segment));
      return;
    }
    auto job = std::make_unique<TJob>();
    job->segment = std::move(segment);
    {
      std::lock_guard<std::mutex> lock(mutex);
      queue.push_back(job.get());
      inFlight.push_back(std::move(job));
    }
    // A worker per segment in flight, up to the thread count.
    if (workers.size() < threads && workers.size() < inFlight.size())
      workers.emplace_back([this] { WorkerLoop(); });
    workAvailable.notify_one();
    while (inFlight.size() >= maxInFlight) EmitOldest();
  }

  void EmitOldest() {
    std::unique_ptr<TJob> job;
    {
      std::unique_lock<std::mutex> lock(mutex);
      jobDone.wait(lock, [&] { return inFlight.front()->done; });
      job = std::move(inFlight.front());
      inFlight.pop_front();
    }
    if (job->error) std::rethrow_exception(job->error);
    Emit(std::move(job->segment));
  }

  void Emit(std::unique_ptr<TSegment> segment) {
    if (segment->first) firstBlockLiterals = segment->firstBlockLiterals;
    sink(segment->output.Data(), segment->output.Size());
    spare.push_back(std::move(segment));
  }

  void WorkerLoop() {
    TSegmentCompressor compressor(params);
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      workAvailable.wait(lock, [&] { return stopping || !queue.empty(); });
      if (stopping) return;
      TJob* job = queue.front();
      queue.pop_front();
      lock.unlock();
      std::exception_ptr error;
      try {
        compressor.Compress(*job->segment);
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      job->error = error;
      job->done = true;
      jobDone.notify_all();
    }
  }

  deflate::TLevelParams params;
  Sink sink;
  unsigned maxInFlight;
  unsigned threads;
  bool finished = false;
  bool broken = false;
  LiteralCounts firstBlockLiterals;
  std::unique_ptr<TSegment> filling;
  std::vector<std::unique_ptr<TSegment>> spare;
  std::unique_ptr<TSegmentCompressor> inlineCompressor;

  // Shared with the workers, under `mutex`.
  std::mutex mutex;
  std::condition_variable workAvailable;
  std::condition_variable jobDone;
  std::deque<std::unique_ptr<TJob>> inFlight;  // in stream order
  std::deque<TJob*> queue;                     // not yet taken by a worker
  bool stopping = false;
  std::vector<std::thread> workers;
};

DeflateEncoder::DeflateEncoder(int level, Sink sink, unsigned processors)
    : impl_(std::make_unique<Impl>(level, std::move(sink), processors)) {}

DeflateEncoder::~DeflateEncoder() = default;

void DeflateEncoder::Write(const uint8_t* data, size_t size) { impl_->Write(data, size); }

std::span<uint8_t> DeflateEncoder::InputSpace() { return impl_->InputSpace(); }

void DeflateEncoder::Commit(size_t size) { impl_->Commit(size); }

void DeflateEncoder::Finish() { impl_->Finish(); }

LiteralCounts DeflateEncoder::FirstBlockLiterals() const { return impl_->firstBlockLiterals; }

size_t DeflateEncoder::FirstBlockCapacity() { return deflate::kFirstBlockCapacity; }

unsigned DeflateEncoder::WorkerThreads() const { return static_cast<unsigned>(impl_->workers.size()); }

}  // namespace ns
