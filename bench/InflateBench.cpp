// Inflate and verification benchmark, in one process:
//  - the own inflater against zlib (raw, 15-bit window) and libdeflate on the
//    same streams: those the own encoder writes at level 6, which are the
//    ones the program reads back. Each decoder's output is compared with the
//    original before its time counts; the best of several runs is kept,
//    in processor time of the thread, since the machine is shared. zlib and
//    libdeflate get the whole stream and write the whole output into one
//    buffer. The own inflater gets the whole stream too: it writes every
//    byte once, into its window, and hands the pieces to a sink that only
//    takes them, as the check's sink takes them into the CRC. What streaming
//    costs besides — the input pulled from a source in 1 MiB pieces copied
//    out of the stream, as a file read copies it, and each piece copied out
//    by the sink — is measured apart and printed as a figure.
//  - stored data at copy speed: the own inflater whose sink copies each
//    piece into the output buffer, against memcpy of the same bytes.
//  - the cost of reading a packed dump back next to packing it: ZipWriter
//    adds the dump-like file to a new archive, then the entry is checked as
//    the worker checks it after packing.
//  - with --verify-rss ARCHIVE, only the peak RSS of checking the archive's
//    first entry, in KiB.
//
//   inflate_bench [--repeat N] [--dump FILE] FILE ...
//   inflate_bench --verify-rss ARCHIVE
#include <libdeflate.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchCommon.h"
#include "zip/DeflateEncoder.h"
#include "zip/FileSystem.h"
#include "zip/Inflater.h"
#include "zip/ZipCheck.h"
#include "zip/ZipWriter.h"

namespace {

using bench::Bytes;
using bench::Clock;

Bytes ReadFile(const std::string& path) { return bench::ReadFile("inflate_bench", path); }

double Seconds(const std::function<void()>& run) {
  const auto t0 = Clock::now();
  run();
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// The processor time of the calling thread: the decoders run on one
// thread, and on a shared machine the moments they wait for a processor
// would count against whichever ran then.
double CpuSeconds(const std::function<void()>& run) {
  timespec t0{}, t1{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
  run();
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
  return (t1.tv_sec - t0.tv_sec) + (t1.tv_nsec - t0.tv_nsec) * 1e-9;
}

Bytes OwnDeflate(const Bytes& in) {
  Bytes out;
  ns::DeflateEncoder encoder(6, [&](const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); },
                             ns::UsableProcessorCount());
  encoder.Write(in.data(), in.size());
  encoder.Finish();
  return out;
}

bool ZlibInflate(const Bytes& stream, Bytes& out) {
  z_stream z{};
  inflateInit2(&z, -15);
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&z, Z_FINISH);
  inflateEnd(&z);
  return rc == Z_STREAM_END && z.total_out == out.size();
}

bool LibdeflateInflate(libdeflate_decompressor* d, const Bytes& stream, Bytes& out) {
  size_t got = 0;
  return libdeflate_deflate_decompress(d, stream.data(), stream.size(), out.data(), out.size(), &got) ==
             LIBDEFLATE_SUCCESS &&
         got == out.size();
}

bool OwnInflate(ns::TInflater& inflater, const Bytes& stream, Bytes& out) {
  constexpr size_t kPiece = size_t(1) << 20;
  size_t offset = 0, written = 0;
  const ns::TInflateResult r = inflater.Inflate(
      [&](uint8_t* buffer, size_t room) {
        const size_t n = std::min({room, kPiece, stream.size() - offset});
        std::memcpy(buffer, stream.data() + offset, n);
        offset += n;
        return n;
      },
      [&](const uint8_t* data, size_t n) {
        if (n > out.size() - written) throw std::runtime_error("more data than the original");
        std::memcpy(out.data() + written, data, n);
        written += n;
      });
  return r.ok && written == out.size();
}

// The whole stream in memory, as libdeflate gets it: read where it lies.
// With `out`, the sink copies each piece there; without, it only takes
// them, as the check's sink does when it folds each piece into the CRC.
bool OwnInflateInMemory(ns::TInflater& inflater, const Bytes& stream, Bytes* out, size_t size) {
  size_t written = 0;
  const ns::TInflateResult r = inflater.Inflate(stream.data(), stream.size(), [&](const uint8_t* data, size_t n) {
    if (n > size - written) throw std::runtime_error("more data than the original");
    if (out) std::memcpy(out->data() + written, data, n);
    written += n;
  });
  return r.ok && written == size;
}

bench::TGoals goals;

void Check(bool ok, const char* engine, const std::string& file) {
  if (!ok) {
    std::printf("inflate_bench: %s decodes %s wrongly, no figures count\n", engine, file.c_str());
    std::exit(1);
  }
}

void BenchInflate(const std::string& path, int repeat) {
  const Bytes in = ReadFile(path);
  const std::string name = path.substr(path.find_last_of('/') + 1);
  const Bytes stream = OwnDeflate(in);
  Bytes out(in.size());
  libdeflate_decompressor* ld = libdeflate_alloc_decompressor();
  ns::TInflater inflater;

  Check(ZlibInflate(stream, out) && out == in, "zlib", name);
  Check(LibdeflateInflate(ld, stream, out) && out == in, "libdeflate", name);
  std::fill(out.begin(), out.end(), 0);
  Check(OwnInflate(inflater, stream, out) && out == in, "the own inflater", name);

  // Interleaved, so that a busy moment of the machine hurts all alike.
  std::fill(out.begin(), out.end(), 0);
  Check(OwnInflateInMemory(inflater, stream, &out, in.size()) && out == in, "the own inflater (in memory)", name);

  // Interleaved, so that a busy moment of the machine hurts all alike.
  double tZlib = 1e30, tLd = 1e30, tOwn = 1e30, tStreaming = 1e30, tCopying = 1e30, tMemcpy = 1e30;
  for (int i = 0; i < repeat; ++i) {
    tZlib = std::min(tZlib, CpuSeconds([&] { ZlibInflate(stream, out); }));
    tLd = std::min(tLd, CpuSeconds([&] { LibdeflateInflate(ld, stream, out); }));
    tOwn = std::min(tOwn, CpuSeconds([&] { OwnInflateInMemory(inflater, stream, nullptr, in.size()); }));
    tStreaming = std::min(tStreaming, CpuSeconds([&] { OwnInflate(inflater, stream, out); }));
    tCopying = std::min(tCopying, CpuSeconds([&] { OwnInflateInMemory(inflater, stream, &out, in.size()); }));
    tMemcpy = std::min(tMemcpy, CpuSeconds([&] { std::memcpy(out.data(), in.data(), in.size()); }));
  }
  libdeflate_free_decompressor(ld);

  const auto mbps = [&](double t) { return in.size() / t / 1e6; };
  std::printf("\n%s (%zu bytes, own level-6 stream of %zu bytes)\n", name.c_str(), in.size(), stream.size());
  std::printf("  inflate MB/s of output: zlib %.1f, libdeflate %.1f, own %.1f\n", mbps(tZlib), mbps(tLd), mbps(tOwn));
  std::printf("  own, streamed from 1 MiB pieces into the output buffer: %.1f MB/s (%.3f of the above)\n",
              mbps(tStreaming), tOwn / tStreaming);
  std::printf("  own, the sink copying into the output buffer: %.1f MB/s; memcpy of the data: %.1f MB/s\n",
              mbps(tCopying), mbps(tMemcpy));
  if (stream.size() >= in.size()) {
    // Stored: the work is the copy. libdeflate's call copies once into its
    // output buffer, so the own inflater is given the same job.
    goals.Add(name, "inflate own (copying) / libdeflate", tLd / tCopying, 1.0, true);
    goals.Add(name, "inflate own (copying) / memcpy", tMemcpy / tCopying, 0.9, true);
  } else {
    goals.Add(name, "inflate own / libdeflate speed", tLd / tOwn, 1.0, true);
    // Three times zlib where decoding is the work: streams of less than
    // half the data. In the others (the dump: mostly payloads compressed
    // before) most of it is stored and copied, as fast in zlib as anywhere.
    if (stream.size() * 2 < in.size()) goals.Add(name, "inflate own / zlib speed", tZlib / tOwn, 3.0, true);
  }
}

void BenchVerification(const std::string& dump, int repeat) {
  // On the disk of the build, like an archive folder: the page cache holds
  // what was just written, as it does when the worker reads its entry back.
  const std::string folder = std::filesystem::current_path().string() + "/inflate-bench-" + std::to_string(getpid());
  std::filesystem::create_directories(folder);
  const std::string archive = folder + "/1C8-240101.zip";
  const std::string name = dump.substr(dump.find_last_of('/') + 1);
  double tPack = 1e30, tVerify = 1e30;
  for (int i = 0; i < std::max(1, repeat / 2); ++i) {
    std::filesystem::remove(archive);
    ns::ZipWriter writer;
    writer.ZipName = archive;
    writer.FilesList = {dump};
    tPack = std::min(tPack, Seconds([&] { writer.Zip(); }));
    const ns::TZipEntry entry = writer.Written().at(0);
    // Reading back takes a few milliseconds, where one busy moment of the
    // machine weighs much: it is timed several times for each packing.
    for (int j = 0; j < repeat; ++j) {
      std::optional<std::string> reason;
      tVerify = std::min(tVerify, Seconds([&] {
                           reason = ns::VerifyZipEntry(ns::SystemFileSystem(), archive, entry.name, entry.crc);
                         }));
      if (reason) {
        std::printf("inflate_bench: the packed dump does not read back: %s\n", reason->c_str());
        std::exit(1);
      }
    }
  }
  std::filesystem::remove_all(folder);
  std::printf("\npacking %s into a new archive (level 6, a thread per core): %.3f s; reading it back: %.4f s\n",
              name.c_str(), tPack, tVerify);
  goals.Add(name, "verification / packing time", tVerify / tPack, 0.05, false);
}

}  // namespace

// The peak RSS of checking the first entry of `archive`, as the worker
// checks it after packing.
int VerifyRss(const std::string& archive) {
  ns::TZipChecker checker(ns::SystemFileSystem(), archive);
  if (checker.Entries().empty()) {
    std::fprintf(stderr, "inflate_bench: %s holds no entry\n", archive.c_str());
    return 1;
  }
  if (const auto reason = checker.Check(checker.Entries().front())) {
    std::fprintf(stderr, "inflate_bench: %s does not check: %s\n", archive.c_str(), reason->c_str());
    return 1;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%ld\n", usage.ru_maxrss);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--verify-rss") return VerifyRss(argv[2]);
  int repeat = 5;
  std::string dump;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--dump" && i + 1 < argc) {
      dump = argv[++i];
    } else {
      files.push_back(arg);
    }
  }
  bench::PrintLoadAverage();
  for (const std::string& file : files) BenchInflate(file, repeat);
  if (!dump.empty()) BenchVerification(dump, repeat);

  goals.Print();
  return 0;
}
