#pragma once

#include <string>
#include <vector>

#include "engine/sample/sample_recording.h"

namespace marlin::cli {

// The spans of make-sample's --motion values, each "CH:START-END" or
// "CH:START-END@X,Y,W,H": the channel counted from 1, seconds from the
// recording's start and the area the box stays inside. Throws a usage
// CommandError naming the value that options' recording cannot show: a
// channel it lacks, an empty span or one past its end, an area outside its
// picture or with no room for the box to move, spans of a channel that
// overlap.
std::vector<sample::MotionSpan> parseMotionSpecs(const std::vector<std::string>& specs,
                                                 const sample::SampleOptions& options);

}  // namespace marlin::cli
