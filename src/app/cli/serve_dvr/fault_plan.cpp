#include "app/cli/serve_dvr/fault_plan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace marlin::cli::serve_dvr {

namespace {

constexpr std::array<std::pair<Fault, const char*>, 10> kNames = {{
    {Fault::Drop, "drop"},
    {Fault::Stall, "stall"},
    {Fault::Garbage, "garbage"},
    {Fault::Split, "split"},
    {Fault::OversizeMessage, "oversize-message"},
    {Fault::HugeFrame, "huge-frame"},
    {Fault::MessageInFrame, "message-in-frame"},
    {Fault::CloseAfterLogin, "close-after-login"},
    {Fault::DdnsBadMagic, "ddns-bad-magic"},
    {Fault::DdnsSilent, "ddns-silent"},
}};

// The faults that happen at a time into a connection's stream.
bool isStreamingFault(Fault fault) {
  return fault == Fault::Drop || fault == Fault::Stall || fault == Fault::Garbage || fault == Fault::OversizeMessage ||
         fault == Fault::HugeFrame || fault == Fault::MessageInFrame;
}

// A day: far beyond any test, and far from overflowing the milliseconds.
constexpr double kLatestSeconds = 86400.0;

}  // namespace

const char* faultName(Fault fault) {
  for (const auto& [each, name] : kNames) {
    if (each == fault) {
      return name;
    }
  }
  return "unknown";
}

std::optional<FaultSwitch> parseFaultSwitch(const std::string& text, std::string& error) {
  const std::size_t at = text.find('@');
  const std::string name = text.substr(0, at);
  const auto known =
      std::find_if(kNames.begin(), kNames.end(), [&](const auto& entry) { return name == entry.second; });
  if (known == kNames.end()) {
    error = "unknown fault " + name +
            " (drop, stall, garbage, split, oversize-message, huge-frame, "
            "message-in-frame, close-after-login, ddns-bad-magic, ddns-silent)";
    return std::nullopt;
  }
  FaultSwitch request;
  request.fault = known->first;
  if (at != std::string::npos) {
    const std::string seconds = text.substr(at + 1);
    char* end = nullptr;
    const double value = std::strtod(seconds.c_str(), &end);
    if (seconds.empty() || *end != '\0' || !(value >= 0.0 && value <= kLatestSeconds)) {
      error = "expected NAME@SECONDS with SECONDS from 0 to 86400: " + text;
      return std::nullopt;
    }
    request.after = std::chrono::milliseconds(std::llround(value * 1000.0));
  }
  return request;
}

FaultPlan::FaultPlan(const std::vector<FaultSwitch>& switches) {
  for (const FaultSwitch& request : switches) {
    entries_.push_back({request, false});
  }
}

bool FaultPlan::asked(Fault fault) const {
  const std::lock_guard lock(mutex_);
  return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.request.fault == fault; });
}

bool FaultPlan::take(Fault fault) {
  const std::lock_guard lock(mutex_);
  for (Entry& entry : entries_) {
    if (entry.request.fault == fault && !entry.happened) {
      entry.happened = true;
      return true;
    }
  }
  return false;
}

bool FaultPlan::happened(Fault fault) const {
  const std::lock_guard lock(mutex_);
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const Entry& e) { return e.request.fault == fault && e.happened; });
}

std::vector<Fault> FaultPlan::takeDue(std::chrono::milliseconds streamed) {
  const std::lock_guard lock(mutex_);
  std::vector<Fault> due;
  for (Entry& entry : entries_) {
    if (isStreamingFault(entry.request.fault) && !entry.happened && entry.request.after <= streamed) {
      entry.happened = true;
      due.push_back(entry.request.fault);
    }
  }
  return due;
}

std::optional<std::chrono::milliseconds> FaultPlan::nextDue() const {
  const std::lock_guard lock(mutex_);
  std::optional<std::chrono::milliseconds> next;
  for (const Entry& entry : entries_) {
    if (isStreamingFault(entry.request.fault) && !entry.happened && (!next || entry.request.after < *next)) {
      next = entry.request.after;
    }
  }
  return next;
}

}  // namespace marlin::cli::serve_dvr
