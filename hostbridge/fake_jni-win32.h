#ifndef HOSTBRIDGE_FAKE_JNI_WIN32_H_
#define HOSTBRIDGE_FAKE_JNI_WIN32_H_

#include <jni.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

/// A JNI environment of the test's own, standing in for the virtual
/// machine: classes, strings, String[] arrays and java.util.Vector objects
/// live in this object until it is destroyed. It offers exactly the JNI
/// functions the library calls; any other function, or a call on an object
/// of the wrong kind, ends the test program with a message. One thread.
class FakeJni {
 public:
  FakeJni();
  FakeJni(const FakeJni&) = delete;
  FakeJni& operator=(const FakeJni&) = delete;

  /// The environment to pass to the library.
  JNIEnv* env() { return &env_; }

  /// A Java string holding `text`.
  jstring newString(const std::u16string& text);
  /// A String[] with the given elements (nullopt for a null element).
  jobjectArray newStringArray(
      const std::vector<std::optional<std::u16string>>& elements);

  /// The strings of a String[] or java.util.Vector the library returned;
  /// nullopt when `object` is null, of another kind or holds a null.
  std::optional<std::vector<std::u16string>> strings(jobject object) const;

  /// True when `object` is a java.util.Vector.
  bool isVector(jobject object) const;

  /// String characters handed out and not released yet.
  int unreleasedStrings() const { return unreleased_; }

 private:
  enum class Kind { kClass, kString, kArray, kVector };
  /// One Java object: a class (its name in `text`), a string, an array or
  /// a vector (their elements).
  struct Object {
    Kind kind;
    std::u16string text;
    std::vector<jobject> elements;
  };

  /// The fake behind an environment (kept in the table's reserved slot).
  static FakeJni* self(JNIEnv* env);
  /// The object behind `handle`; ends the test if it is null or not `kind`.
  static Object* expect(jobject handle, Kind kind, const char* function);
  /// Keeps `object` alive until the fake is destroyed; its reference.
  jobject add(Object object);

  // The JNI functions the library may call, each checking its arguments
  // as strictly as the virtual machine does under -Xcheck:jni.
  static jclass JNICALL findClass(JNIEnv* env, const char* name);
  static jmethodID JNICALL getMethodID(JNIEnv* env, jclass type,
                                       const char* name, const char* sig);
  static jobject JNICALL newObject(JNIEnv* env, jclass type, jmethodID method,
                                   ...);
  static jboolean JNICALL callBooleanMethod(JNIEnv* env, jobject target,
                                            jmethodID method, ...);
  static jstring JNICALL newStringUtf(JNIEnv* env, const char* text);
  static jstring JNICALL newStringChars(JNIEnv* env, const jchar* chars,
                                        jsize length);
  static jsize JNICALL getStringLength(JNIEnv* env, jstring string);
  static const jchar* JNICALL getStringChars(JNIEnv* env, jstring string,
                                             jboolean* isCopy);
  static void JNICALL releaseStringChars(JNIEnv* env, jstring string,
                                         const jchar* chars);
  static jobjectArray JNICALL newObjectArray(JNIEnv* env, jsize length,
                                             jclass type, jobject initial);
  static void JNICALL setObjectArrayElement(JNIEnv* env, jobjectArray array,
                                            jsize index, jobject value);
  static jobject JNICALL getObjectArrayElement(JNIEnv* env, jobjectArray array,
                                               jsize index);
  static jsize JNICALL getArrayLength(JNIEnv* env, jarray array);
  static void JNICALL deleteLocalRef(JNIEnv* env, jobject object);
  static jboolean JNICALL exceptionCheck(JNIEnv* env);

  JNINativeInterface_ functions_;
  JNIEnv env_;
  std::deque<Object> objects_;
  int unreleased_ = 0;
};

#endif  // HOSTBRIDGE_FAKE_JNI_WIN32_H_
