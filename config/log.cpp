// The trace log "log.txt": one numbered line a call, appended and closed at once.
#include "config/config.h"

#include <sstream>

#include "platform/platform.h"

int CountLogLine;

// A log that cannot be appended to, a FIFO among them, loses the line; the line still takes its number.
void WriteLog(const char* message, float value) {
  std::ostringstream fout;
  const int number = CountLogLine++;
  fout << number << " - " << (message ? message : "") << " - " << value << LineEnd;
  const std::string line = fout.str();
  AppendFile("log.txt", line.data(), line.size());
}
