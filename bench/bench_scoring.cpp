// Per-contact cost of the scoring at a small and a large register. Each timed
// step is what the host's _AddQSO / _GetScore costs: the contact's fields go
// into the working record, then CountQSO runs on it.
#include "scoring/report.h"
#include "scoring/scoring.h"
#include "tools/loggen/contacts.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace morvel;

constexpr std::size_t kBatch = 1000;

const std::vector<loggen::Contact>& Log() {
    static const auto log = loggen::Generate({100000 + kBatch, 2027});
    return log;
}

// A register holding the first `size` contacts of the log.
std::unique_ptr<TScoring> Prefilled(std::size_t size, TQSOData& rec) {
    auto scoring = std::make_unique<TScoring>(CLibraryKeyEquality());
    for (std::size_t i = 0; i < size; ++i) {
        loggen::FillRecord(rec, Log()[i]);
        scoring->CountQSO(rec, true);
    }
    return scoring;
}

// CountQSO(true) for the next kBatch contacts after `size` already counted.
void BM_CountQSOAdd(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    auto rec = std::make_unique<TQSOData>();
    for (auto _ : state) {
        state.PauseTiming();
        auto scoring = Prefilled(size, *rec);
        state.ResumeTiming();
        for (std::size_t i = size; i < size + kBatch; ++i) {
            loggen::FillRecord(*rec, Log()[i]);
            benchmark::DoNotOptimize(scoring->CountQSO(*rec, true));
        }
        state.PauseTiming();
        scoring.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kBatch));
    state.counters["per_contact"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kBatch),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CountQSOAdd)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// CountQSO(false): the duplicate test alone, as for _GetScore.
void BM_CountQSOCheck(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    auto rec = std::make_unique<TQSOData>();
    auto scoring = Prefilled(size, *rec);
    std::size_t i = 0;
    for (auto _ : state) {
        loggen::FillRecord(*rec, Log()[i]);
        benchmark::DoNotOptimize(scoring->CountQSO(*rec, false));
        i = i + 1 == Log().size() ? 0 : i + 1;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.counters["per_contact"] =
        benchmark::Counter(static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CountQSOCheck)->Arg(1000)->Arg(100000);

// The statistics text after every _AddQSO.
void BM_ShowStatistic(benchmark::State& state) {
    auto rec = std::make_unique<TQSOData>();
    auto scoring = Prefilled(static_cast<std::size_t>(state.range(0)), *rec);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ShowStatistic(scoring->StatList()));
    }
}
BENCHMARK(BM_ShowStatistic)->Arg(1000)->Arg(100000);

} // namespace

BENCHMARK_MAIN();
