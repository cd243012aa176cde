// zxload: loads data and sort files into SQLite or PostgreSQL.
#include "common/program_info.h"
#include "zxload/load_run.h"

int main(int argc, char** argv) {
  if (int status = answerHelpOrVersion(argc, argv, "zxload", nullptr); status >= 0) {
    return status;
  }
  return runLoad(argc, argv);
}
