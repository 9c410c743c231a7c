// Deflate and CRC-32 benchmark: the own encoder (one thread and two) and
// CRC-32 against zlib (level 6, raw, 15-bit window) and libdeflate (level 6)
// on the same inputs in one process. Every own result is decompressed by
// zlib and compared before its time counts. Each engine runs several times
// and its best time is kept, since the machine is shared.
//
//   deflate_bench [--repeat N] KIND:FILE ...   KIND: compressible, real,
//                 incompressible or dump (which goals apply; real files,
//                 taken from installed packages, have a size goal only and
//                 their speeds are figures)
//   deflate_bench --rss-probe FILE MIB PROCESSORS   streams FILE over and
//                 over through the encoder (given that many processors)
//                 until MIB have passed, reading 1 MiB at a time, and
//                 prints the peak RSS in KiB
#include <libdeflate.h>
#include <sys/resource.h>
#include <time.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "BenchCommon.h"
#include "zip/Crc32.h"
#include "zip/DeflateEncoder.h"

namespace {

using bench::Bytes;
using bench::Clock;

Bytes ReadFile(const std::string& path) { return bench::ReadFile("deflate_bench", path); }

struct TTime {
  double wall = 1e30;  // seconds, best of the runs
  double cpu = 1e30;   // the calling thread's processor time, best of the runs
};

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// Best times of `repeat` runs. Processor time tells the single-threaded
// engines apart even while other work shares the machine; it means nothing
// for the two-thread runs, which are judged by wall time alone.
TTime BestTime(int repeat, const std::function<void()>& run) {
  TTime best;
  for (int i = 0; i < repeat; ++i) {
    const auto t0 = Clock::now();
    const double c0 = ThreadCpuSeconds();
    run();
    best.cpu = std::min(best.cpu, ThreadCpuSeconds() - c0);
    best.wall = std::min(best.wall, std::chrono::duration<double>(Clock::now() - t0).count());
  }
  return best;
}

Bytes ZlibCompress(const Bytes& in) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&z, in.size()));
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

bool ZlibDecodesTo(const Bytes& compressed, const Bytes& original) {
  z_stream z{};
  inflateInit2(&z, -15);
  Bytes out(original.size() + 1);
  z.next_in = const_cast<Bytef*>(compressed.data());
  z.avail_in = static_cast<uInt>(compressed.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&z, Z_FINISH);
  const bool ok = rc == Z_STREAM_END && z.avail_in == 0 && z.total_out == original.size() &&
                  std::memcmp(out.data(), original.data(), original.size()) == 0;
  inflateEnd(&z);
  return ok;
}

// The own encoder fed as the ZIP writer feeds it: pieces of 1 MiB. `out`
// keeps its memory from run to run, as libdeflate's output buffer does, so
// that neither engine's best time includes the first touch of its pages.
void OwnCompress(const Bytes& in, unsigned threads, Bytes& out) {
  out.clear();
  out.reserve(in.size() + in.size() / 100 + 1024);
  ns::DeflateEncoder encoder(6, [&](const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); }, threads);
  constexpr size_t kPiece = size_t(1) << 20;
  for (size_t pos = 0; pos < in.size(); pos += kPiece) encoder.Write(in.data() + pos, std::min(kPiece, in.size() - pos));
  encoder.Finish();
}

bench::TGoals goals;

double MBps(size_t bytes, double seconds) { return bytes / seconds / 1e6; }

void BenchFile(const std::string& kind, const std::string& path, int repeat) {
  const Bytes in = ReadFile(path);
  const std::string name = path.substr(path.find_last_of('/') + 1);
  Bytes zlibOut, ldOut, own1, own2;
  libdeflate_compressor* ld = libdeflate_alloc_compressor(6);
  const TTime tZlib = BestTime(std::max(1, repeat / 2), [&] { zlibOut = ZlibCompress(in); });
  const TTime tLd = BestTime(repeat, [&] {
    ldOut.resize(libdeflate_deflate_compress_bound(ld, in.size()));
    ldOut.resize(libdeflate_deflate_compress(ld, in.data(), in.size(), ldOut.data(), ldOut.size()));
  });
  const TTime tOwn1 = BestTime(repeat, [&] { OwnCompress(in, 1, own1); });
  // How many cores the two-thread runs actually got: the process's
  // processor time over the wall time. Below 2 the machine was shared and
  // the two-thread figure understates the encoder.
  const double cpu0 = ProcessCpuSeconds();
  const auto wall0 = Clock::now();
  const TTime tOwn2 = BestTime(repeat, [&] { OwnCompress(in, 2, own2); });
  const double coresUsed =
      (ProcessCpuSeconds() - cpu0) / std::chrono::duration<double>(Clock::now() - wall0).count();
  libdeflate_free_compressor(ld);
  const bool ok1 = ZlibDecodesTo(own1, in), ok2 = ZlibDecodesTo(own2, in);

  uint32_t crcOwn = 0, crcZlib = 0, crcLd = 0;
  const int crcRepeat = repeat * 3;
  const TTime tCrcOwn = BestTime(crcRepeat, [&] { crcOwn = ns::Crc32(0, in.data(), in.size()); });
  const TTime tCrcZlib = BestTime(crcRepeat, [&] { crcZlib = static_cast<uint32_t>(crc32(0, in.data(), static_cast<uInt>(in.size()))); });
  const TTime tCrcLd = BestTime(crcRepeat, [&] { crcLd = libdeflate_crc32(0, in.data(), in.size()); });

  std::printf("\n%s (%s, %zu bytes)\n", name.c_str(), kind.c_str(), in.size());
  std::printf("  %-14s %12s %8s %10s %9s %12s\n", "engine", "bytes", "ratio", "MB/s", "vs ld-6", "cpu vs ld-6");
  auto row = [&](const char* engine, size_t bytes, const TTime& t, bool cpuMeaningful) {
    std::printf("  %-14s %12zu %8.4f %10.1f %8.2fx", engine, bytes, double(bytes) / in.size(), MBps(in.size(), t.wall),
                tLd.wall / t.wall);
    if (cpuMeaningful) std::printf(" %11.2fx", tLd.cpu / t.cpu);
    std::printf("\n");
  };
  row("zlib-6", zlibOut.size(), tZlib, true);
  row("libdeflate-6", ldOut.size(), tLd, true);
  row("own, 1 thread", own1.size(), tOwn1, true);
  row("own, 2 threads", own2.size(), tOwn2, false);
  std::printf("  own streams decoded by zlib: %s\n", ok1 && ok2 ? "identical" : "MISMATCH");
  std::printf("  2 threads: %.2fx the own 1-thread speed, on %.2f cores on average\n", tOwn1.wall / tOwn2.wall,
              coresUsed);
  std::printf("  crc32: own %.1f MB/s, zlib %.1f MB/s, libdeflate %.1f MB/s; values %s\n", MBps(in.size(), tCrcOwn.wall),
              MBps(in.size(), tCrcZlib.wall), MBps(in.size(), tCrcLd.wall),
              crcOwn == crcZlib && crcOwn == crcLd ? "agree" : "DISAGREE");
  if (!ok1 || !ok2 || crcOwn != crcZlib || crcOwn != crcLd) {
    std::printf("deflate_bench: wrong result, no figures count\n");
    std::exit(1);
  }

  const double sizeVsZlib = double(own1.size()) / zlibOut.size();
  if (kind == "compressible") {
    goals.Add(name, "size / zlib-6 (at most)", sizeVsZlib, 1.0, false);
    goals.Add(name, "1 thread / libdeflate-6 speed", tLd.wall / tOwn1.wall, 1.0, true);
    goals.Add(name, "2 threads / libdeflate-6 speed", tLd.wall / tOwn2.wall, 1.8, true);
  } else if (kind == "real") {
    goals.Add(name, "size / zlib-6 (at most)", sizeVsZlib, 1.0, false);
  } else if (kind == "incompressible") {
    goals.Add(name, "1 thread / libdeflate-6 speed", tLd.wall / tOwn1.wall, 5.0, true);
    goals.Add(name, "size / input (at most)", double(own1.size()) / in.size(), 1.0005, false);
  } else if (kind == "dump") {
    goals.Add(name, "size / zlib-6 (at most)", sizeVsZlib, 1.0, false);
    goals.Add(name, "1 thread / libdeflate-6 speed", tLd.wall / tOwn1.wall, 3.0, true);
  }
  goals.Add(name, "crc32 / libdeflate speed", tCrcLd.wall / tCrcOwn.wall, 0.9, true);
}

long PeakRssKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

int RssProbe(const std::string& path, size_t mib, unsigned processors) {
  // Read from the file as the ZIP writer does, so the peak is the whole
  // process's: the program, its libraries and the encoder.
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return 2;
  Bytes piece(size_t(1) << 20);
  size_t fed = 0;
  {
    ns::DeflateEncoder encoder(6, [](const uint8_t*, size_t) {}, processors);
    while (fed < (mib << 20)) {
      size_t n = std::fread(piece.data(), 1, piece.size(), f);
      if (n == 0) {
        std::rewind(f);
        continue;
      }
      encoder.Write(piece.data(), n);
      fed += n;
    }
    encoder.Finish();
  }
  std::fclose(f);
  std::printf("%ld\n", PeakRssKiB());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--rss-probe")
    return RssProbe(argv[2], std::stoul(argv[3]), static_cast<unsigned>(std::stoul(argv[4])));
  bench::PrintLoadAverage();
  int repeat = 5;
  int first = 1;
  if (argc > 2 && std::string(argv[1]) == "--repeat") {
    repeat = std::max(1, std::atoi(argv[2]));
    first = 3;
  }
  for (int i = first; i < argc; ++i) {
    const std::string arg = argv[i];
    const size_t colon = arg.find(':');
    if (colon == std::string::npos) {
      std::fprintf(stderr, "deflate_bench: expected KIND:FILE, got %s\n", arg.c_str());
      return 2;
    }
    BenchFile(arg.substr(0, colon), arg.substr(colon + 1), repeat);
  }
  goals.Print();
  return 0;
}
