// Loading and saving a 24-bit 8192 x 8192 BMP (192 MiB of pixels), each beside
// a plain read()/write() of the same number of bytes, plus the peak memory of
// a load measured in a forked child. Compare the medians:
//   bench_bmp_io --benchmark_repetitions=7 --benchmark_report_aggregates_only=true
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "core/formats/Stream.h"
#include "core/pixels/Bitmap.h"

using namespace vem;

namespace {

constexpr int Side = 8192;
constexpr std::size_t PixelBytes = std::size_t(Side) * Side * 3;

std::string folder() {
    const char* t = std::getenv("TMPDIR");
    return t && *t ? t : "/tmp";
}
const std::string Input = folder() + "/vem-bench-in.bmp";
const std::string Output = folder() + "/vem-bench-out.bmp";
const std::string RawOutput = folder() + "/vem-bench-raw.bin";

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Written once per run: file header and info header, then the rows.
void makeInput() {
    static bool made = false;
    if (made) return;
    std::uint8_t head[54] = {'B', 'M'};
    put32(head + 2, static_cast<std::uint32_t>(54 + PixelBytes));
    put32(head + 10, 54);
    put32(head + 14, 40);
    put32(head + 18, Side);
    put32(head + 22, Side);
    head[26] = 1;
    head[28] = 24;
    put32(head + 34, static_cast<std::uint32_t>(PixelBytes));
    std::vector<std::uint8_t> row(std::size_t(Side) * 3);
    std::ofstream out(Input, std::ios::binary);
    out.write(reinterpret_cast<const char*>(head), sizeof head);
    for (int y = 0; y < Side; ++y) {
        for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<std::uint8_t>(i * 7 + y);
        out.write(reinterpret_cast<const char*>(row.data()), static_cast<std::streamsize>(row.size()));
    }
    made = true;
}

void BM_LoadBmp(benchmark::State& state) {
    makeInput();
    for (auto _ : state) {
        TBitmap bmp;
        TFileReadStream in(Input);
        bmp.LoadFromStream(in);
        benchmark::DoNotOptimize(bmp.Image().Pixels.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * (54 + PixelBytes)));
}

// The same bytes with one open, read() calls into a fresh buffer, close.
void BM_RawRead(benchmark::State& state) {
    makeInput();
    const std::size_t n = 54 + PixelBytes;
    for (auto _ : state) {
        int fd = ::open(Input.c_str(), O_RDONLY | O_CLOEXEC);
        auto* buffer = static_cast<std::uint8_t*>(std::malloc(n));
        std::size_t done = 0;
        while (done < n) {
            ssize_t r = ::read(fd, buffer + done, n - done);
            if (r <= 0) break;
            done += static_cast<std::size_t>(r);
        }
        ::close(fd);
        benchmark::DoNotOptimize(buffer);
        std::free(buffer);
        if (done != n) state.SkipWithError("short read");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
}

void BM_SaveBmp(benchmark::State& state) {
    makeInput();
    TBitmap bmp;
    {
        TFileReadStream in(Input);
        bmp.LoadFromStream(in);
    }
    for (auto _ : state) {
        TSafeFileWriter out(Output);
        bmp.SaveToStream(out);
        out.Commit();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * (54 + PixelBytes)));
    std::remove(Output.c_str());
}

// The same bytes with create, write() calls, fsync and close: the safe save
// flushes its file too.
void BM_RawWrite(benchmark::State& state) {
    const std::size_t n = 54 + PixelBytes;
    std::vector<std::uint8_t> data(n, 0x5A);
    for (auto _ : state) {
        int fd = ::open(RawOutput.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        std::size_t done = 0;
        while (done < n) {
            ssize_t r = ::write(fd, data.data() + done, n - done);
            if (r <= 0) break;
            done += static_cast<std::size_t>(r);
        }
        ::fsync(fd);
        ::close(fd);
        if (done != n) state.SkipWithError("short write");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
    std::remove(RawOutput.c_str());
}

long statusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t len = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, len, field) == 0) return std::atol(line.c_str() + len + 1);
    return -1;
}

// A child process loads the file; the growth of its peak resident size over
// its size before the load, against the pixel block.
void BM_LoadPeakMemory(benchmark::State& state) {
    makeInput();
    double ratio = 0;
    for (auto _ : state) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) state.SkipWithError("pipe");
        pid_t pid = ::fork();
        if (pid == 0) {
            ::close(pipeFds[0]);
            const long before = statusKb("VmRSS:");
            TBitmap bmp;
            TFileReadStream in(Input);
            bmp.LoadFromStream(in);
            const long peak = statusKb("VmHWM:");
            const double r = static_cast<double>(peak - before) * 1024.0 / static_cast<double>(PixelBytes);
            ssize_t ignored = ::write(pipeFds[1], &r, sizeof r);
            (void)ignored;
            ::_exit(0);
        }
        ::close(pipeFds[1]);
        if (::read(pipeFds[0], &ratio, sizeof ratio) != sizeof ratio) state.SkipWithError("no answer");
        ::close(pipeFds[0]);
        ::waitpid(pid, nullptr, 0);
    }
    state.counters["peak_over_block"] = ratio;
}

BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_LoadBmp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_RawWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_SaveBmp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_LoadPeakMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(Input.c_str()); // 192 MiB: not left behind
    return 0;
}
