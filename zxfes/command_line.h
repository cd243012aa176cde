#ifndef ZXFES_COMMAND_LINE_H_
#define ZXFES_COMMAND_LINE_H_

/// What one run of the program does, chosen from its arguments.
enum class CommandAction {
  kInstall,       ///< "-i" and one more argument.
  kRemove,        ///< "-r".
  kStopAndRemove, ///< "-shutdown".
  kNothing,       ///< Any other single argument, "-i" alone included.
  kRunAsService,  ///< No arguments, or two or more other than the "-i" form.
};

/// Chooses the action from `argc`/`argv` as `main` receives them (argv[0]
/// is the program); arguments are compared exactly and case-sensitively.
CommandAction chooseCommandAction(int argc, const char* const* argv);

#endif  // ZXFES_COMMAND_LINE_H_
