#include "spl/radio/receiver_handlers.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

int RadioHandlers::Send(CRadio& r, const std::string& text) {
  return r.TxCom(text.data(), int(text.size()));
}

int RadioHandlers::SendBytes(CRadio& r, const unsigned char* bytes, int length) {
  return r.TxCom(bytes, length);
}

std::string RadioHandlers::Format(const char* format, ...) {
  char buffer[128];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return std::string();
  return std::string(buffer, size_t(n) < sizeof buffer ? size_t(n) : sizeof buffer - 1);
}

long long RadioHandlers::Hz(double kHz) { return (long long)std::trunc(kHz * 1000.0 + 0.5); }

long long RadioHandlers::TenHz(double kHz) { return (long long)std::trunc(kHz * 100.0 + 0.5); }

int RadioHandlers::Lookup(const ModeCode* table, int count, int mode, int& code) {
  for (int i = 0; i < count; ++i) {
    if (table[i].mode == mode) {
      code = table[i].code;
      return 1;
    }
  }
  return 0;
}

int RadioHandlers::SharedPTT(CRadio& r, int on) {
  // Transmit keying through the modem lines, with the data line held low while on.
  r.SerialMode(on ? kSerialRtsOnDtrOn : kSerialRtsOnDtrOff);
  r.port_.SetBreak(on ? 1 : 0);
  return 1;
}
