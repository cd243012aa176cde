#include "zxreport/report_run.h"

int main(int argc, char** argv) { return runReport(argc, argv); }
