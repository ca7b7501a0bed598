// CIIR: one-pole low-pass y = a y + (1 - a) x, the loop filter of the phase-locked loops.
#pragma once

class CIIR {
 public:
  CIIR() = default;
  explicit CIIR(double a) : a_(a), one_minus_a_(1.0 - a) {}
  virtual void SetA(double a) {
    a_ = a;
    one_minus_a_ = 1.0 - a;
  }
  virtual double IIR(double x) {
    y_ = a_ * y_ + one_minus_a_ * x;
    return y_;
  }
  virtual ~CIIR() = default;

 private:
  double a_ = 0.0;
  double one_minus_a_ = 1.0;
  double y_ = 0.0;
};
