// zxload: loads data and sort files into SQLite or PostgreSQL.
#include "zxload/load_run.h"

int main(int argc, char** argv) { return runLoad(argc, argv); }
