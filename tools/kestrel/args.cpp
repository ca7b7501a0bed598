#include "tools/kestrel/args.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

CArgs::CArgs(std::set<std::string> valued, std::set<std::string> flags)
    : valued_(std::move(valued)), flags_(std::move(flags)) {}

int CArgs::Parse(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      help_ = true;
    } else if (valued_.count(a)) {
      if (i + 1 >= argc) {
        error_ = "option " + a + " needs a value";
        return 0;
      }
      values_[a] = argv[++i];
    } else if (flags_.count(a)) {
      values_[a] = "1";
    } else if (a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9')) {
      error_ = "unknown option " + a;
      return 0;
    } else {
      positional_.push_back(a);
    }
  }
  return 1;
}

bool CArgs::Has(const std::string& name) const { return values_.count(name) != 0; }

std::string CArgs::Get(const std::string& name, const std::string& fallback) const {
  auto it = values_.find(name);
  return it == values_.end() ? fallback : it->second;
}

int CArgs::GetInt(const std::string& name, long fallback, long lo, long hi, long& out) {
  out = fallback;
  if (!Has(name)) return 1;
  const std::string& text = values_[name];
  char* end = nullptr;
  errno = 0;
  // Base 10 whatever the leading zeros: "050" baud is 50.
  long v = strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || errno || v < lo || v > hi) {
    error_ = name + " wants a whole number from " + std::to_string(lo) + " to " +
             std::to_string(hi) + ", not \"" + text + "\"";
    return 0;
  }
  out = v;
  return 1;
}

int CArgs::GetDouble(const std::string& name, double fallback, double lo, double hi,
                     double& out) {
  out = fallback;
  if (!Has(name)) return 1;
  const std::string& text = values_[name];
  char* end = nullptr;
  errno = 0;
  double v = strtod(text.c_str(), &end);
  if (text.empty() || *end || errno || !std::isfinite(v) || v < lo || v > hi) {
    error_ = name + " wants a number from " + std::to_string(lo) + " to " +
             std::to_string(hi) + ", not \"" + text + "\"";
    return 0;
  }
  out = v;
  return 1;
}
