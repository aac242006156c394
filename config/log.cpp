// The trace log "log.txt": one numbered line a call, appended and closed at once.
#include "config/config.h"

#include <fstream>

int CountLogLine;

void WriteLog(const char* message, float value) {
  std::ofstream fout("log.txt", std::ios::app);
  const int number = CountLogLine++;
  fout << number << " - " << (message ? message : "") << " - " << value << std::endl;
}
