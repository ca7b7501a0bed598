// CCwTiming: learns a Morse sender's own timing from the key-down and key-up lengths the CW
// decoder measures: the unit (dot) length, found as the unit that best explains recent marks as
// one or three units and recent gaps as one, three or seven units, and the boundary between
// letter gaps and word gaps, found by splitting the recent long gaps into two groups, so that
// stretched (Farnsworth) spacing still separates words from letters.
#pragma once

constexpr int kCwTimingHistory = 24;  // marks and gaps remembered

class CCwTiming {
 public:
  // Limits of the unit in ticks (any time base) and the unit to start from; forgets history.
  void Reset(double min_unit, double max_unit, double start_unit);
  // Clears the history but keeps the current estimates as the starting point.
  void Forget();
  void AddMark(double ticks);
  void AddGap(double ticks);
  // Re-estimates unit and word boundary from the history; without history nothing changes.
  void Update();

  double Unit() const { return unit_; }
  // Key-up length above which a gap ends a word (always more than the letter boundary).
  double WordGap() const { return word_gap_; }
  // Key-up length above which a gap ends a character.
  double LetterGap() const;
  int Marks() const { return mark_count_; }

 private:
  void UpdateUnit();
  void UpdateWordGap();

  float marks_[kCwTimingHistory] = {};  // natural logarithms of the lengths
  float gaps_[kCwTimingHistory] = {};
  int mark_count_ = 0, mark_next_ = 0;
  int gap_count_ = 0, gap_next_ = 0;
  double min_unit_ = 1.0, max_unit_ = 1.0;
  double unit_ = 1.0;
  double word_gap_ = 5.0;
  bool word_gap_learnt_ = false;
};
