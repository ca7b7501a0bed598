// The mixer's walk over lines and controls and its state map, on a small card described in
// memory (CI machines have no sound card), and on the real card when there is one.
#include "spl/audio/mixer.h"
#include "spl/platform/memory_mixer_device.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <map>

namespace {

using CMemoryMixer = CMemoryMixerDevice;

MixerControl Control(DWORD id, DWORD type, const char* name, int items = 0) {
  MixerControl c;
  c.id = id;
  c.type = type;
  c.name = c.shortName = name;
  c.items = items;
  c.maximum = 65535;
  return c;
}

std::unique_ptr<CMemoryMixer> SmallCard(const char* source_name = "Line In") {
  auto m = std::make_unique<CMemoryMixer>();
  m->caps.name = "memory card";
  CMemoryMixer::Line rec;
  rec.info.id = 1;
  rec.info.name = "Recording Control";
  rec.info.channels = 2;
  rec.info.connections = 1;
  rec.controls = {Control(10, MIXERCONTROL_CONTROLTYPE_VOLUME, "Volume"),
                  Control(11, 0x70010000, "Mux", 3)};  // a list: not in the map
  CMemoryMixer::Line line;
  line.info.id = 2;
  line.info.name = source_name;
  line.info.channels = 2;
  line.controls = {Control(20, MIXERCONTROL_CONTROLTYPE_VOLUME, "Volume"),
                   Control(21, MIXERCONTROL_CONTROLTYPE_MUTE, "Mute"),
                   Control(22, MIXERCONTROL_CONTROLTYPE_BASS, "Bass")};
  rec.sources = {line};
  m->lines = {rec};
  m->values = {{10, {30000, 30000}}, {11, {0, 1, 0}}, {20, {1234, 999}}, {21, {1}}, {22, {7}}};
  return m;
}

TEST(Mixer, StateMapHoldsTheFourControlTypesUnderTheirFullKeys) {
  CMixer mixer;
  ASSERT_EQ(mixer.Init(SmallCard(), "", 0), 1);
  EXPECT_EQ(mixer.ProductName(), "memory card");
  const CMixerState state = mixer.GetMixerState();
  const CMixerState expect = {{"Recording Control:Volume:", "30000"},
                              {"Recording Control:Line In:Volume:", "1234"},
                              {"Recording Control:Line In:Mute:", "1"},
                              {"Recording Control:Line In:Bass:", "7"}};
  EXPECT_EQ(state, expect);
}

TEST(Mixer, RestoringPutsBackOnlyTheKeysThatMatch) {
  auto card = SmallCard();
  CMemoryMixer* raw = card.get();
  CMixer mixer;
  ASSERT_EQ(mixer.Init(std::move(card), "", 0), 1);
  mixer.SetMixerState({});
  EXPECT_EQ(raw->writes, 0);  // an empty map changes nothing
  // A snapshot of another card whose source is named differently: only the destination's own
  // volume matches.
  CMixer other;
  ASSERT_EQ(other.Init(SmallCard("Mic"), "", 0), 1);
  CMixerState snapshot = other.GetMixerState();
  snapshot["Recording Control:Volume:"] = "500";
  snapshot["Recording Control:Mic:Volume:"] = "1";
  mixer.SetMixerState(snapshot);
  EXPECT_EQ(raw->writes, 1);
  EXPECT_EQ(raw->values[10], (std::vector<long>{500, 500}));  // every channel
  EXPECT_EQ(raw->values[20], (std::vector<long>{1234, 999}));
  // Mute is written as item 0 of its value list; a non-number becomes 0.
  mixer.SetMixerState({{"Recording Control:Line In:Mute:", "x"}});
  EXPECT_EQ(raw->values[21], (std::vector<long>{0}));
}

TEST(Mixer, UnreadableControlsAndItemsOutsideTheListAreLeftOut) {
  auto card = SmallCard();
  card->refuseReads = {22};
  CMixer mixer;
  ASSERT_EQ(mixer.Init(std::move(card), "", 0), 1);
  const CMixerState state = mixer.GetMixerState();
  EXPECT_EQ(state.count("Recording Control:Line In:Bass:"), 0u);
  EXPECT_EQ(state.size(), 3u);
  MixerLine line;
  line.channels = 1;
  const MixerControl list = Control(11, 0x70010000, "Mux", 3);
  EXPECT_EQ(mixer.GetControlValueB(line, list, 1), 1);
  EXPECT_EQ(mixer.GetControlValueB(line, list, 3), -1);  // item == number of items
  EXPECT_EQ(mixer.GetControlValueB(line, list, -1), -1);
}

TEST(Mixer, WithoutAMixerEverythingWorksOnNoLines) {
  CMixer mixer;
  EXPECT_EQ(mixer.Init("hw:97", 0), 0);  // no such card
  EXPECT_FALSE(mixer.Error().empty());
  EXPECT_TRUE(mixer.GetMixerState().empty());
  mixer.SetMixerState({{"Playback:Volume:", "1"}});
  EXPECT_EQ(mixer.IsOpen(), 0);
}

TEST(Mixer, RealCardSnapshotRestoresUnchanged) {
  int card = -1;
  if (snd_card_next(&card) < 0 || card < 0) GTEST_SKIP() << "no sound card on this machine";
  CMixer mixer;
  ASSERT_EQ(mixer.Init("hw:" + std::to_string(card), 0), 1) << mixer.Error();
  const CMixerState before = mixer.GetMixerState();
  mixer.SetMixerState(before);
  EXPECT_EQ(mixer.GetMixerState(), before);
}

}  // namespace
