// Decoding the largest carried image, the checksum over it, and loading the scanner's HEX text:
// the work an update step does before it talks to the writer.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "common/byte_order.h"
#include "images/crc32.h"
#include "images/image_resources.h"
#include "images/intel_hex.h"
#include "images/lzari_decoder.h"

namespace {

using namespace brevant;

void BM_DecodeApplicationImage(benchmark::State& state) {
    const CarriedImage* carried = FindCarriedImage(169);
    if (carried == nullptr) {
        state.SkipWithError("application image not carried");
        return;
    }
    const uint32_t textSize = LoadLe32(carried->data);
    std::unique_ptr<uint8_t[]> output(new uint8_t[textSize + kApplicationSlack]);
    CArithmeticCompression decoder;
    for (auto _ : state) {
        const uint32_t count = decoder.Decode(carried->data + 4, carried->size - 4, output.get(), textSize);
        benchmark::DoNotOptimize(count);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * textSize);
}
BENCHMARK(BM_DecodeApplicationImage)->Unit(benchmark::kMillisecond);

void BM_Crc32(benchmark::State& state) {
    std::vector<uint8_t> data(size_t(state.range(0)));
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 131 + (i >> 7));
    for (auto _ : state) {
        Crc32 crc;
        crc.Add(data.data(), data.size());
        benchmark::DoNotOptimize(crc.Value());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Crc32)->Arg(4096)->Arg(3580492);

void BM_LoadScannerHex(benchmark::State& state) {
    const LoadedImage text = LoadImageResource(174, kImageSlack);
    if (!text.ok()) {
        state.SkipWithError("scanner image does not load");
        return;
    }
    std::vector<uint8_t> flat(0x80000);
    for (auto _ : state) {
        std::fill(flat.begin(), flat.end(), uint8_t(0xFF));   // as the step does before each load
        const int32_t result = IntelHexLoader(text.bytes.get(), text.length, flat.data(), 0x80000, 0x80000000);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * text.length);
}
BENCHMARK(BM_LoadScannerHex)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
