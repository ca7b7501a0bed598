#include "app/core/station_codes.h"

#include "spl/decoders/rtty_decoder.h"

namespace {

constexpr DecoderChoice kChoices[] = {
    {kDecoderRtty, "RTTY", kGroupText, kRttyAsync},
    {kDecoderRttySync, "RTTY", kGroupText, kRttySync},
    {kDecoderSitor, "SITOR", kGroupText, kRttySitorB},
    {kDecoderSynop, "SYNOP", kGroupText, kRttySync},
    {kDecoderNavtex, "NAVTEX", kGroupText, kRttySitorB},
    {kDecoderBpsk31, "BPSK31", kGroupText, -1},
    {kDecoderQpsk31, "QPSK31", kGroupText, -1},
    {kDecoderCw, " CW", kGroupText, -1},
    {kDecoderFax, " FAX", kGroupFax, -1},
    {kDecoderSstv, "SSTV", kGroupSstv, -1},
    {kDecoderAudio, "AUDIO", kGroupAudio, -1},
};

struct StateName {
  int code;
  const char* name;
};
constexpr StateName kStates[] = {
    {kStateStandBy, "SYSTEM_STAND_BY"}, {1, "FAX_WAIT_START"},     {2, "FAX_STARTF_300"},
    {3, "FAX_STARTF_675"},              {4, "FAX_STOPF_450"},      {5, "FAX_WAIT_SYNC"},
    {6, "FAX_WAIT_PICTURE"},            {7, "FAX_WAIT_STOP"},      {kStateAudioActive, "AUDIO_ACTIVE"},
    {kStateWaitNnnnCode, "WAIT_NNNN"},  {kStateWaitZczcCode, "WAIT_ZCZC"},
    {kStateWaitSstv, "WAIT_SSTV_RUN"},  {kStateReceiveSstv, "RECEIVE_SSTV"},
};

}  // namespace

const DecoderChoice* FindDecoderChoice(int code) {
  for (const DecoderChoice& c : kChoices)
    if (c.code == code) return &c;
  return nullptr;
}

const DecoderChoice* DecoderChoices(int* count) {
  *count = int(sizeof kChoices / sizeof kChoices[0]);
  return kChoices;
}

const char* SystemStateName(int code) {
  for (const StateName& s : kStates)
    if (s.code == code) return s.name;
  return nullptr;
}
