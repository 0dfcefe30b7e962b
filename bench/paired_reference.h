#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

// Every iteration makes one reference pass, outside the measured time, just
// before the benchmark's own pass. Other developers' load on this machine
// moves throughput by tens of percent within seconds; the median of ratios
// of passes made milliseconds apart moves much less.
class PairedReference {
 public:
  using Clock = std::chrono::steady_clock;

  static double secondsSince(Clock::time_point begin) {
    return std::chrono::duration<double>(Clock::now() - begin).count();
  }

  void pass(benchmark::State& state, const std::function<bool()>& reference) {
    state.PauseTiming();
    const auto begin = Clock::now();
    ok_ = reference() && ok_;
    referenceSeconds_.push_back(secondsSince(begin));
    state.ResumeTiming();
  }

  void own(double seconds) {
    if (seconds > 0 && referenceSeconds_.size() > ownSeconds_.size()) {
      ratios_.push_back(referenceSeconds_.back() / seconds);
      ownSeconds_.push_back(seconds);
    }
  }

  bool ok() const { return ok_; }

  static double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  }

  void report(benchmark::State& state, const char* ratioName, int picturesPerPass) {
    if (ratios_.empty()) {
      return;
    }
    const double pictures = picturesPerPass;
    state.counters["pictures_per_s"] = pictures / median(ownSeconds_);
    state.counters["ref_pictures_per_s"] = pictures / median(referenceSeconds_);
    state.counters[ratioName] = median(ratios_);
    state.counters[std::string(ratioName) + "_best"] =
        *std::min_element(referenceSeconds_.begin(), referenceSeconds_.end()) /
        *std::min_element(ownSeconds_.begin(), ownSeconds_.end());
  }

 private:
  bool ok_ = true;
  std::vector<double> referenceSeconds_;
  std::vector<double> ownSeconds_;
  std::vector<double> ratios_;
};
