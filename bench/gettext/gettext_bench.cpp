// Catalogue lookups against glibc's dgettext on the same msgfmt catalogue, and the
// executable scan against memmem over the same bytes.
#include "bench/ratio_reporter.h"
#include "common/GNUgettext/EmbeddedCatalogues.h"
#include "common/GNUgettext/FileLocator.h"
#include "common/GNUgettext/GnuGettextInstance.h"
#include "common/GNUgettext/MoFile.h"
#include "common/GNUgettext/TranslationState.h"
#include "text/TextConvert.h"

#include <benchmark/benchmark.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <libintl.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kEntries = 10000;

std::string Key(int i) {
  return "Message number " + std::to_string(i) + " of the benchmark";
}

/// A 10,000-entry catalogue made by msgfmt, installed where glibc looks for it.
struct Catalogue {
  fs::path folder = fs::temp_directory_path() / ("sa-gettext-bench-" + std::to_string(getpid()));
  fs::path mo = folder / "de" / "LC_MESSAGES" / "bench.mo";
  fs::path swapped = folder / "bench_be.mo"; // the same, in the other byte order
  std::vector<std::string> hits, misses;

  Catalogue() {
    fs::create_directories(mo.parent_path());
    fs::path po = folder / "bench.po";
    std::ofstream out(po);
    out << "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n";
    for (int i = 0; i < kEntries; ++i)
      out << "\nmsgid \"" << Key(i) << "\"\nmsgstr \"Meldung Nummer " << i << "\"\n";
    out.close();
    std::string command = std::string(SA_MSGFMT) + " -o " + mo.string() + " " + po.string();
    std::string big =
        std::string(SA_MSGFMT) + " --endianness=big -o " + swapped.string() + " " + po.string();
    if (std::system(command.c_str()) != 0 || std::system(big.c_str()) != 0)
      std::abort();
    std::mt19937 random(42);
    for (int i = 0; i < 1024; ++i) {
      hits.push_back(Key(static_cast<int>(random() % kEntries)));
      misses.push_back(Key(static_cast<int>(random() % kEntries)) + "?");
    }
    // glibc translates only outside the plain C locale.
    setenv("LANGUAGE", "de", 1);
    setlocale(LC_ALL, "C.UTF-8");
    bindtextdomain("bench", folder.c_str());
    bind_textdomain_codeset("bench", "UTF-8");
    if (std::strcmp(dgettext("bench", Key(1).c_str()), Key(1).c_str()) == 0)
      std::abort(); // glibc did not load the catalogue: the comparison would be void
  }
  ~Catalogue() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
};

Catalogue& Shared() {
  static Catalogue catalogue;
  return catalogue;
}

// Each lookup twice: returning a copy of the text (TMoFile::gettext, glibc's answer put
// into a std::string), and in place (TMoFile::Find, glibc's pointer as it is).
void BM_MoFileHit(benchmark::State& state) {
  TMoFile mo(Shared().mo.u16string(), 0, 0, true);
  size_t i = 0;
  bool found;
  for (auto _ : state)
    benchmark::DoNotOptimize(mo.gettext(Shared().hits[i++ & 1023], found));
}
BENCHMARK(BM_MoFileHit);

void BM_MoFileHitSwapped(benchmark::State& state) {
  TMoFile mo(Shared().swapped.u16string(), 0, 0, true);
  if (!mo.isSwappedArchitecture())
    std::abort();
  size_t i = 0;
  bool found;
  for (auto _ : state)
    benchmark::DoNotOptimize(mo.gettext(Shared().hits[i++ & 1023], found));
}
BENCHMARK(BM_MoFileHitSwapped);

void BM_GlibcHit(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(std::string(dgettext("bench", Shared().hits[i++ & 1023].c_str())));
}
BENCHMARK(BM_GlibcHit);

void BM_MoFileFindHit(benchmark::State& state) {
  TMoFile mo(Shared().mo.u16string(), 0, 0, true);
  size_t i = 0;
  std::string_view translation;
  for (auto _ : state) {
    benchmark::DoNotOptimize(mo.Find(Shared().hits[i++ & 1023], translation));
    benchmark::DoNotOptimize(translation);
  }
}
BENCHMARK(BM_MoFileFindHit);

void BM_GlibcHitInPlace(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(dgettext("bench", Shared().hits[i++ & 1023].c_str()));
}
BENCHMARK(BM_GlibcHitInPlace);

void BM_MoFileMiss(benchmark::State& state) {
  TMoFile mo(Shared().mo.u16string(), 0, 0, true);
  size_t i = 0;
  bool found;
  for (auto _ : state)
    benchmark::DoNotOptimize(mo.gettext(Shared().misses[i++ & 1023], found));
}
BENCHMARK(BM_MoFileMiss);

void BM_GlibcMiss(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(std::string(dgettext("bench", Shared().misses[i++ & 1023].c_str())));
}
BENCHMARK(BM_GlibcMiss);

void BM_MoFileFindMiss(benchmark::State& state) {
  TMoFile mo(Shared().mo.u16string(), 0, 0, true);
  size_t i = 0;
  std::string_view translation;
  for (auto _ : state)
    benchmark::DoNotOptimize(mo.Find(Shared().misses[i++ & 1023], translation));
}
BENCHMARK(BM_MoFileFindMiss);

void BM_GlibcMissInPlace(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(dgettext("bench", Shared().misses[i++ & 1023].c_str()));
}
BENCHMARK(BM_GlibcMissInPlace);

void BM_TranslatorHit(benchmark::State& state) {
  TFileLocator locator;
  Translation().CatalogueLocator = &locator;
  setenv("LANG", "de", 1);
  {
    TGnuGettextInstance translator;
    translator.bindtextdomain(u"bench", Shared().folder.u16string());
    std::vector<std::u16string> keys;
    for (const std::string& k : Shared().hits)
      keys.push_back(Utf8ToUtf16(k));
    size_t i = 0;
    for (auto _ : state)
      benchmark::DoNotOptimize(translator.dgettext(u"bench", keys[i++ & 1023]));
  }
  Translation().CatalogueLocator = nullptr;
}
BENCHMARK(BM_TranslatorHit);

// 64 MiB of executable-like bytes with the marker at the very end.
struct ScanData {
  fs::path file = fs::temp_directory_path() / ("sa-scan-bench-" + std::to_string(getpid()));
  std::string bytes;
  ScanData() {
    std::mt19937 random(7);
    bytes.resize(64u << 20);
    for (char& c : bytes)
      c = static_cast<char>("DXGBD7F-0123abc\0\0\0"[random() % 18]);
    std::string marker = embedded_catalogues::BeginMarker();
    bytes.replace(bytes.size() - marker.size(), marker.size(), marker);
    std::ofstream(file, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  ~ScanData() { fs::remove(file); }
};

ScanData& Scan() {
  static ScanData data;
  return data;
}

void BM_FindSignaturePos(benchmark::State& state) {
  std::ifstream in(Scan().file, std::ios::binary);
  std::string marker = embedded_catalogues::BeginMarker();
  for (auto _ : state)
    benchmark::DoNotOptimize(TFileLocator::FindSignaturePos(marker, in));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (64 << 20));
}
BENCHMARK(BM_FindSignaturePos)->Unit(benchmark::kMillisecond);

void BM_Memmem(benchmark::State& state) {
  const std::string& bytes = Scan().bytes;
  std::string marker = embedded_catalogues::BeginMarker();
  for (auto _ : state)
    benchmark::DoNotOptimize(memmem(bytes.data(), bytes.size(), marker.data(), marker.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (64 << 20));
}
BENCHMARK(BM_Memmem)->Unit(benchmark::kMillisecond);

// The reading alone, in the scan's 100,000-byte blocks and without searching: what the
// scan of a stream cannot go below.
void BM_StreamBlocks(benchmark::State& state) {
  std::ifstream in(Scan().file, std::ios::binary);
  std::vector<char> block(100000);
  for (auto _ : state) {
    in.clear();
    in.seekg(0);
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())))
      benchmark::DoNotOptimize(block.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (64 << 20));
}
BENCHMARK(BM_StreamBlocks)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // Each row: ours, what it is measured against, what the ratio means, the goal.
  const struct {
    const char* ours;
    const char* theirs;
    const char* what;
    const char* goal;
  } ratios[] = {
      {"BM_MoFileHit", "BM_GlibcHit", "catalogue hit, copied, time vs glibc", "<= 0.3"},
      {"BM_MoFileHitSwapped", "BM_GlibcHit", "same, other byte order", "<= 0.3"},
      {"BM_MoFileFindHit", "BM_GlibcHitInPlace", "catalogue hit, in place, time vs glibc",
       "<= 0.3"},
      {"BM_MoFileMiss", "BM_GlibcMiss", "catalogue miss, copied, time vs glibc", "<= 0.3"},
      {"BM_MoFileFindMiss", "BM_GlibcMissInPlace", "catalogue miss, in place, time vs glibc",
       "<= 0.3"},
      {"BM_TranslatorHit", "BM_GlibcHit", "translator dgettext (UTF-16), time vs glibc", "<= 0.8"},
      {"BM_Memmem", "BM_FindSignaturePos", "executable scan, throughput vs memmem", ">= 0.5"},
      {"BM_Memmem", "BM_StreamBlocks", "reading alone, throughput vs memmem", "(bound)"},
  };
  std::printf("\n%-48s %8s %8s\n", "ratio (same run, CPU time)", "value", "goal");
  for (const auto& r : ratios) {
    const double ours = reporter.Of(r.ours).cpu, theirs = reporter.Of(r.theirs).cpu;
    if (ours == 0 || theirs == 0)
      continue; // filtered out of this run
    std::printf("%-48s %8.2f %8s\n", r.what, ours / theirs, r.goal);
  }
  return 0;
}
