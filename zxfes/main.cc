// zxfes: installs, removes and stops the front-end service, or runs it
// when started by the Service Control Manager.

#include "zxfes/command_line.h"
#include "zxfes/front_end_service.h"

int main(int argc, char** argv) {
  FrontEndService service;
  switch (chooseCommandAction(argc, argv)) {
    case CommandAction::kInstall:
      service.install();
      return 0;
    case CommandAction::kRemove:
      service.remove();
      return 0;
    case CommandAction::kStopAndRemove:
      service.stopAndRemove();
      return 0;
    case CommandAction::kNothing:
      return 0;
    case CommandAction::kRunAsService:
      break;
  }
  return static_cast<int>(service.runAsService());
}
