#include "hostbridge/fake_jni-win32.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// Method identities handed out by GetMethodID.
char vectorConstructor;
char vectorAdd;

/// Ends the test program: the library made a call the virtual machine
/// would reject.
[[noreturn]] void misuse(const char* function, const char* problem) {
  std::fprintf(stderr, "JNI misuse in %s: %s\n", function, problem);
  std::fflush(stderr);
  ExitProcess(4);
}

/// Fills every slot the library has no business calling.
void JNICALL unexpectedFunction() {
  misuse("function table", "a JNI function the fake does not offer");
}

}  // namespace

FakeJni::FakeJni() {
  // Every slot first points at the trap; then the offered functions.
  auto** slots = reinterpret_cast<void**>(&functions_);
  for (std::size_t i = 0; i < sizeof functions_ / sizeof(void*); ++i) {
    slots[i] = reinterpret_cast<void*>(&unexpectedFunction);
  }
  functions_.reserved0 = this;
  functions_.FindClass = findClass;
  functions_.GetMethodID = getMethodID;
  functions_.NewObject = newObject;
  functions_.CallBooleanMethod = callBooleanMethod;
  functions_.NewStringUTF = newStringUtf;
  functions_.NewString = newStringChars;
  functions_.GetStringLength = getStringLength;
  functions_.GetStringChars = getStringChars;
  functions_.ReleaseStringChars = releaseStringChars;
  functions_.NewObjectArray = newObjectArray;
  functions_.SetObjectArrayElement = setObjectArrayElement;
  functions_.GetObjectArrayElement = getObjectArrayElement;
  functions_.GetArrayLength = getArrayLength;
  functions_.DeleteLocalRef = deleteLocalRef;
  functions_.ExceptionCheck = exceptionCheck;
  env_.functions = &functions_;
}

FakeJni* FakeJni::self(JNIEnv* env) {
  return static_cast<FakeJni*>(env->functions->reserved0);
}

FakeJni::Object* FakeJni::expect(jobject handle, Kind kind,
                                 const char* function) {
  if (handle == nullptr) misuse(function, "null reference");
  auto* object = reinterpret_cast<Object*>(handle);
  if (object->kind != kind) misuse(function, "object of the wrong kind");
  return object;
}

jobject FakeJni::add(Object object) {
  objects_.push_back(std::move(object));
  return reinterpret_cast<jobject>(&objects_.back());
}

jstring FakeJni::newString(const std::u16string& text) {
  return static_cast<jstring>(add({Kind::kString, text, {}}));
}

jobjectArray FakeJni::newStringArray(
    const std::vector<std::optional<std::u16string>>& elements) {
  Object array{Kind::kArray, u"", {}};
  for (const auto& element : elements) {
    array.elements.push_back(element ? newString(*element) : nullptr);
  }
  return static_cast<jobjectArray>(add(std::move(array)));
}

std::optional<std::vector<std::u16string>> FakeJni::strings(
    jobject handle) const {
  if (handle == nullptr) return std::nullopt;
  const auto* object = reinterpret_cast<const Object*>(handle);
  if (object->kind != Kind::kArray && object->kind != Kind::kVector) {
    return std::nullopt;
  }
  std::vector<std::u16string> texts;
  for (jobject element : object->elements) {
    if (element == nullptr) return std::nullopt;
    const auto* text = reinterpret_cast<const Object*>(element);
    if (text->kind != Kind::kString) return std::nullopt;
    texts.push_back(text->text);
  }
  return texts;
}

bool FakeJni::isVector(jobject handle) const {
  return handle != nullptr &&
         reinterpret_cast<const Object*>(handle)->kind == Kind::kVector;
}

jclass JNICALL FakeJni::findClass(JNIEnv* env, const char* name) {
  if (std::strcmp(name, "java/lang/String") != 0 &&
      std::strcmp(name, "java/util/Vector") != 0) {
    misuse("FindClass", name);
  }
  return static_cast<jclass>(self(env)->add(
      {Kind::kClass, std::u16string(name, name + std::strlen(name)), {}}));
}

jmethodID JNICALL FakeJni::getMethodID(JNIEnv*, jclass type, const char* name,
                                       const char* sig) {
  const Object* owner = expect(type, Kind::kClass, "GetMethodID");
  if (owner->text != u"java/util/Vector") misuse("GetMethodID", "not Vector");
  if (std::strcmp(name, "<init>") == 0 && std::strcmp(sig, "(I)V") == 0) {
    return reinterpret_cast<jmethodID>(&vectorConstructor);
  }
  if (std::strcmp(name, "add") == 0 &&
      std::strcmp(sig, "(Ljava/lang/Object;)Z") == 0) {
    return reinterpret_cast<jmethodID>(&vectorAdd);
  }
  misuse("GetMethodID", name);
}

jobject JNICALL FakeJni::newObject(JNIEnv* env, jclass type, jmethodID method,
                                   ...) {
  expect(type, Kind::kClass, "NewObject");
  if (method != reinterpret_cast<jmethodID>(&vectorConstructor)) {
    misuse("NewObject", "not the Vector(int) constructor");
  }
  va_list arguments;
  va_start(arguments, method);
  const jint capacity = va_arg(arguments, jint);
  va_end(arguments);
  if (capacity < 0) misuse("NewObject", "negative capacity");
  return self(env)->add({Kind::kVector, u"", {}});
}

jboolean JNICALL FakeJni::callBooleanMethod(JNIEnv*, jobject target,
                                            jmethodID method, ...) {
  Object* vector = expect(target, Kind::kVector, "CallBooleanMethod");
  if (method != reinterpret_cast<jmethodID>(&vectorAdd)) {
    misuse("CallBooleanMethod", "not Vector.add");
  }
  va_list arguments;
  va_start(arguments, method);
  const jobject element = va_arg(arguments, jobject);
  va_end(arguments);
  vector->elements.push_back(element);
  return JNI_TRUE;
}

jstring JNICALL FakeJni::newStringUtf(JNIEnv* env, const char* text) {
  std::u16string units;
  for (const char* c = text; *c != '\0'; ++c) {
    if (static_cast<unsigned char>(*c) >= 0x80) {
      misuse("NewStringUTF", "the fake takes ASCII only");
    }
    units.push_back(static_cast<char16_t>(*c));
  }
  return self(env)->newString(units);
}

jstring JNICALL FakeJni::newStringChars(JNIEnv* env, const jchar* chars,
                                        jsize length) {
  if (length < 0 || (chars == nullptr && length > 0)) {
    misuse("NewString", "bad characters");
  }
  return self(env)->newString(std::u16string(
      reinterpret_cast<const char16_t*>(chars), static_cast<size_t>(length)));
}

jsize JNICALL FakeJni::getStringLength(JNIEnv*, jstring string) {
  return static_cast<jsize>(
      expect(string, Kind::kString, "GetStringLength")->text.size());
}

const jchar* JNICALL FakeJni::getStringChars(JNIEnv* env, jstring string,
                                             jboolean* isCopy) {
  const Object* text = expect(string, Kind::kString, "GetStringChars");
  if (isCopy != nullptr) *isCopy = JNI_FALSE;
  ++self(env)->unreleased_;
  return reinterpret_cast<const jchar*>(text->text.c_str());
}

void JNICALL FakeJni::releaseStringChars(JNIEnv* env, jstring string,
                                         const jchar* chars) {
  const Object* text = expect(string, Kind::kString, "ReleaseStringChars");
  if (chars != reinterpret_cast<const jchar*>(text->text.c_str())) {
    misuse("ReleaseStringChars", "characters of another string");
  }
  --self(env)->unreleased_;
}

jobjectArray JNICALL FakeJni::newObjectArray(JNIEnv* env, jsize length,
                                             jclass type, jobject initial) {
  const Object* owner = expect(type, Kind::kClass, "NewObjectArray");
  if (owner->text != u"java/lang/String" || length < 0) {
    misuse("NewObjectArray", "not a String[] of a sound length");
  }
  if (initial != nullptr) expect(initial, Kind::kString, "NewObjectArray");
  Object array{Kind::kArray, u"", std::vector<jobject>(length, initial)};
  return static_cast<jobjectArray>(self(env)->add(std::move(array)));
}

void JNICALL FakeJni::setObjectArrayElement(JNIEnv*, jobjectArray array,
                                            jsize index, jobject value) {
  Object* target = expect(array, Kind::kArray, "SetObjectArrayElement");
  if (index < 0 || static_cast<std::size_t>(index) >= target->elements.size()) {
    misuse("SetObjectArrayElement", "index out of bounds");
  }
  if (value != nullptr) expect(value, Kind::kString, "SetObjectArrayElement");
  target->elements[index] = value;
}

jobject JNICALL FakeJni::getObjectArrayElement(JNIEnv*, jobjectArray array,
                                               jsize index) {
  const Object* source = expect(array, Kind::kArray, "GetObjectArrayElement");
  if (index < 0 || static_cast<std::size_t>(index) >= source->elements.size()) {
    misuse("GetObjectArrayElement", "index out of bounds");
  }
  return source->elements[index];
}

jsize JNICALL FakeJni::getArrayLength(JNIEnv*, jarray array) {
  return static_cast<jsize>(
      expect(array, Kind::kArray, "GetArrayLength")->elements.size());
}

void JNICALL FakeJni::deleteLocalRef(JNIEnv*, jobject object) {
  // Objects stay alive until the fake is destroyed; only the reference
  // itself must be sound.
  if (object == nullptr) misuse("DeleteLocalRef", "null reference");
}

jboolean JNICALL FakeJni::exceptionCheck(JNIEnv*) { return JNI_FALSE; }
