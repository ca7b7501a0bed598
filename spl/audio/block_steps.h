// Feeds an input block of any length to a processing step that takes at most a set number of
// samples: short inputs go straight through, longer ones in pieces copied into a staging block.
#pragma once

#include <algorithm>

#include "spl/audio/audio_block.h"

template <class Step>
void FeedInSteps(const AudioBlock* in, int limit, AudioBlock* staging, Step step) {
  if (in->count <= limit) {
    step(in);
    return;
  }
  for (int start = 0; start < in->count; start += limit) {
    staging->count = std::min(limit, in->count - start);
    std::copy(in->data + start, in->data + start + staging->count, staging->data);
    step(staging);
  }
}
