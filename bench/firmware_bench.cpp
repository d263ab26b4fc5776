// Decoding and checksumming the release's application image.
#include <benchmark/benchmark.h>

#include <memory>

#include "firmware/image_checksum.h"
#include "firmware/image_loader.h"
#include "firmware/lzari.h"
#include "platform/posix/posix_resources.h"
#include "tests/support/reference_lzari.h"

namespace {

struct Container {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    uint32_t length = 0;
};

Container Application() {
    platform::posix::PosixResources resources;
    Container c;
    resources.FindRcData(169, c.data, c.size);
    c.length = ContainerDecodedLength(c.data);
    return c;
}

void DecodeApplicationImage(benchmark::State& state) {
    const Container c = Application();
    auto out = std::make_unique<uint8_t[]>(c.length + kApplicationDecodeSlack);
    auto decoder = std::make_unique<CArithmeticCompression>();
    for (auto _ : state) {
        const uint32_t n = decoder->Decompress(c.data + 4, c.size - 4, out.get(), c.length);
        benchmark::DoNotOptimize(n);
        if (n != c.length) state.SkipWithError("wrong length");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * c.length);
}
BENCHMARK(DecodeApplicationImage)->Unit(benchmark::kMillisecond);

// The plain bit-by-bit transcription, for comparison.
void DecodeApplicationImageReference(benchmark::State& state) {
    const Container c = Application();
    for (auto _ : state) {
        const auto out = testsupport::ReferenceDecode(c.data + 4, c.size - 4, c.length);
        if (out.size() != c.length) state.SkipWithError("wrong length");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * c.length);
}
BENCHMARK(DecodeApplicationImageReference)->Unit(benchmark::kMillisecond);

void ChecksumApplicationImage(benchmark::State& state) {
    const Container c = Application();
    auto out = std::make_unique<uint8_t[]>(c.length + kApplicationDecodeSlack);
    CArithmeticCompression().Decompress(c.data + 4, c.size - 4, out.get(), c.length);
    for (auto _ : state) benchmark::DoNotOptimize(ComputeImageChecksum(out.get(), c.length));
    state.SetBytesProcessed(int64_t(state.iterations()) * c.length);
}
BENCHMARK(ChecksumApplicationImage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
