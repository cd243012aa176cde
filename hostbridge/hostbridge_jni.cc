// The native methods of the Java class com.vantal.zentrix.util.beans.
// HostBridge: marshalling between Java objects and the host layer. Nothing
// is kept between calls; every method may run on several threads at once.

#include <jni.h>

#include <cstdio>
#include <string>
#include <vector>

#include "hostbridge/host.h"

namespace {

/// Most arguments `execBCP` passes on to a program.
constexpr jsize kMaxCommandArguments = 13;

/// Overwrites a secret held in memory before it is released.
void wipe(std::u16string* secret) {
  volatile char16_t* data = secret->data();
  for (std::size_t i = 0; i < secret->size(); ++i) data[i] = 0;
}

/// Copies the UTF-16 units of a Java string; false for a null reference or
/// when the virtual machine cannot hand the characters out.
bool readString(JNIEnv* env, jstring string, std::u16string* text) {
  if (string == nullptr) return false;
  const jsize length = env->GetStringLength(string);
  const jchar* chars = env->GetStringChars(string, nullptr);
  if (chars == nullptr) return false;
  text->assign(reinterpret_cast<const char16_t*>(chars),
               static_cast<std::size_t>(length));
  env->ReleaseStringChars(string, chars);
  return true;
}

/// A new Java string with the same UTF-16 units as `text`.
jstring newString(JNIEnv* env, const std::u16string& text) {
  return env->NewString(reinterpret_cast<const jchar*>(text.data()),
                        static_cast<jsize>(text.size()));
}

/// Stores `element` at `index` of `array` and drops the local reference, so
/// long lists do not pile up references; false when `element` is null
/// (an exception is then pending).
bool storeElement(JNIEnv* env, jobjectArray array, jsize index,
                  jobject element) {
  if (element == nullptr) return false;
  env->SetObjectArrayElement(array, index, element);
  env->DeleteLocalRef(element);
  return true;
}

/// A new String[length] with every element set to `initial`.
jobjectArray newStringArray(JNIEnv* env, jsize length, const char* initial) {
  const jclass stringClass = env->FindClass("java/lang/String");
  if (stringClass == nullptr) return nullptr;
  const jstring fill = env->NewStringUTF(initial);
  if (fill == nullptr) return nullptr;
  const jobjectArray array = env->NewObjectArray(length, stringClass, fill);
  env->DeleteLocalRef(fill);
  env->DeleteLocalRef(stringClass);
  return array;
}

/// The one-element answer holding a failure word.
jobjectArray failureAnswer(JNIEnv* env, const char* word) {
  return newStringArray(env, 1, word);
}

/// The group names followed by "END_GROUPS".
jobjectArray groupAnswer(JNIEnv* env,
                         const std::vector<std::u16string>& names) {
  const auto count = static_cast<jsize>(names.size());
  const jobjectArray array = newStringArray(env, count + 1, "");
  if (array == nullptr) return nullptr;
  for (jsize i = 0; i < count; ++i) {
    if (!storeElement(env, array, i, newString(env, names[i]))) return nullptr;
  }
  if (!storeElement(env, array, count, env->NewStringUTF("END_GROUPS"))) {
    return nullptr;
  }
  return array;
}

/// GetGroupList: the logon and group listing, answered as a String[].
jobjectArray groupList(JNIEnv* env, jstring userString, jstring passwordString,
                       jstring domainString) {
  std::u16string user, password, domain;
  const bool complete = readString(env, userString, &user) &&
                        readString(env, passwordString, &password) &&
                        readString(env, domainString, &domain);
  if (env->ExceptionCheck()) return nullptr;
  host::GroupList groups;
  if (complete) groups = host::groupList(user, password, domain);
  wipe(&password);
  switch (groups.status) {
    case host::GroupStatus::kGroups:
      return groupAnswer(env, groups.names);
    case host::GroupStatus::kNoController:
      return failureAnswer(env, "FAILED_TO_GET_PDC");
    case host::GroupStatus::kGroupsFailed:
      return failureAnswer(env, "FAILED_TO_GET_GROUPS");
    case host::GroupStatus::kAuthenticationFailed:
      break;
  }
  return failureAnswer(env, "AUTHENTICATION_FAILED");
}

/// listRoots: the roots in a new java.util.Vector.
jobject listRoots(JNIEnv* env) {
  const jclass vectorClass = env->FindClass("java/util/Vector");
  if (vectorClass == nullptr) return nullptr;
  const jmethodID constructor = env->GetMethodID(vectorClass, "<init>", "(I)V");
  if (constructor == nullptr) return nullptr;
  const jmethodID add =
      env->GetMethodID(vectorClass, "add", "(Ljava/lang/Object;)Z");
  if (add == nullptr) return nullptr;
  // The variadic table entries are called directly: the C++ wrappers would
  // go through the va_list forms instead.
  const jobject roots =
      env->functions->NewObject(env, vectorClass, constructor, jint{0});
  env->DeleteLocalRef(vectorClass);
  if (roots == nullptr) return nullptr;
  for (const std::u16string& root : host::listRoots()) {
    const jstring text = newString(env, root);
    if (text == nullptr) return nullptr;
    env->functions->CallBooleanMethod(env, roots, add, text);
    env->DeleteLocalRef(text);
    if (env->ExceptionCheck()) return nullptr;
  }
  return roots;
}

/// execBCP: echoes the arguments, runs the program and waits for it.
jint execBcp(JNIEnv* env, jobjectArray argumentArray) {
  if (argumentArray == nullptr) return -1;
  const jsize count = env->GetArrayLength(argumentArray);
  if (count < 1 || count > kMaxCommandArguments) return -1;
  std::vector<std::u16string> arguments(static_cast<std::size_t>(count));
  for (jsize i = 0; i < count; ++i) {
    const auto element =
        static_cast<jstring>(env->GetObjectArrayElement(argumentArray, i));
    const bool read = readString(env, element, &arguments[i]);
    if (element != nullptr) env->DeleteLocalRef(element);
    // A null element leaves no sound command line to run.
    if (!read) return -1;
  }
  for (const std::u16string& argument : arguments) {
    std::printf("%s ", host::consoleText(argument).c_str());
  }
  std::fflush(stdout);
  return host::runAndWait(arguments);
}

/// getSystemInfo: the six report lines as a String[].
jobjectArray systemInfo(JNIEnv* env) {
  const system_report::Report report =
      system_report::buildReport(host::systemFacts());
  const auto count = static_cast<jsize>(report.size());
  const jobjectArray array =
      newStringArray(env, count, system_report::kPlaceholder);
  if (array == nullptr) return nullptr;
  for (jsize i = 1; i < count; ++i) {
    // The service-pack or release text is the system's, not ASCII for sure.
    const jstring line = newString(env, host::systemText(report[i]));
    if (!storeElement(env, array, i, line)) {
      return nullptr;
    }
  }
  return array;
}

}  // namespace

// The exported entry points. C++ exceptions (only allocation failures can
// occur) must not cross into the virtual machine: they become a null
// answer or -1.
extern "C" {

/// Logs the user on and lists the user's groups, or names the failure.
JNIEXPORT jobjectArray JNICALL
Java_com_vantal_zentrix_util_beans_HostBridge_GetGroupList(JNIEnv* env, jobject,
                                                           jint, jstring user,
                                                           jstring password,
                                                           jstring domain) {
  try {
    return groupList(env, user, password, domain);
  } catch (...) {
    return nullptr;
  }
}

/// The machine's drive roots as a java.util.Vector of strings.
JNIEXPORT jobject JNICALL
Java_com_vantal_zentrix_util_beans_HostBridge_listRoots(JNIEnv* env, jobject) {
  try {
    return listRoots(env);
  } catch (...) {
    return nullptr;
  }
}

/// Runs a program with the given arguments and returns its exit code.
JNIEXPORT jint JNICALL Java_com_vantal_zentrix_util_beans_HostBridge_execBCP(
    JNIEnv* env, jobject, jobjectArray arguments) {
  try {
    return execBcp(env, arguments);
  } catch (...) {
    return -1;
  }
}

/// The six-line processor, operating-system and memory report.
JNIEXPORT jobjectArray JNICALL
Java_com_vantal_zentrix_util_beans_HostBridge_getSystemInfo(JNIEnv* env,
                                                            jobject) {
  try {
    return systemInfo(env);
  } catch (...) {
    return nullptr;
  }
}

}  // extern "C"
