// A small command-line parser for the tool: "--name value" options, "--flag" switches
// and positional arguments, with typed getters that range-check.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

class CArgs {
 public:
  // valued: options that take a value; flags: switches. "-o" is accepted as a name too.
  CArgs(std::set<std::string> valued, std::set<std::string> flags);
  // Parses argv[1..argc-1]; 0 with Error() set on an unknown option or a missing value.
  int Parse(int argc, char** argv);
  const std::string& Error() const { return error_; }

  bool Has(const std::string& name) const;
  std::string Get(const std::string& name, const std::string& fallback = "") const;
  // Numeric getters: 0 with Error() set when the text is not a number in [lo, hi].
  int GetInt(const std::string& name, long fallback, long lo, long hi, long& out);
  int GetDouble(const std::string& name, double fallback, double lo, double hi, double& out);
  const std::vector<std::string>& Positional() const { return positional_; }
  bool WantsHelp() const { return help_; }

 private:
  std::set<std::string> valued_, flags_;
  std::map<std::string, std::string> values_;
  std::vector<std::string> positional_;
  std::string error_;
  bool help_ = false;
};
