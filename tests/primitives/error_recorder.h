// Test fixture helper: records primitive errors instead of ending the process and restores the
// previous handler afterwards.
#pragma once
#include <string>
#include <vector>

#include "spl/primitives/nsperror.h"

struct RecordedError {
  int status;
  std::string func;
  std::string context;
};

class ErrorRecorder {
 public:
  ErrorRecorder() {
    Errors().clear();
    previous_ = SetPrimitiveErrorHandler(&Record);
  }
  ~ErrorRecorder() { SetPrimitiveErrorHandler(previous_); }
  ErrorRecorder(const ErrorRecorder&) = delete;
  ErrorRecorder& operator=(const ErrorRecorder&) = delete;

  static std::vector<RecordedError>& Errors() {
    static std::vector<RecordedError> errors;
    return errors;
  }
  size_t Count() const { return Errors().size(); }
  const RecordedError& Last() const { return Errors().back(); }
  void Clear() { Errors().clear(); }

 private:
  static void Record(int status, const char* func, const char* context, const char*, int) {
    Errors().push_back({status, func ? func : "", context ? context : ""});
  }
  NSPErrorHandler previous_;
};
