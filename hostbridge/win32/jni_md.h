#ifndef HOSTBRIDGE_WIN32_JNI_MD_H_
#define HOSTBRIDGE_WIN32_JNI_MD_H_

// Machine-dependent part of jni.h for Windows: native methods use the
// stdcall convention on 32-bit (x64 has a single convention, which the
// compiler uses whatever is written), and the integer types have Java's
// sizes on both. The
// exported names come from the module definition file, so JNIEXPORT adds
// no export of its own (it would add a second, differently decorated name).

#define JNIEXPORT
#define JNIIMPORT
#define JNICALL __stdcall

/// Java int: 32 bits.
typedef int jint;
/// Java long: 64 bits.
typedef long long jlong;
/// Java byte: 8 bits, signed.
typedef signed char jbyte;

#endif  // HOSTBRIDGE_WIN32_JNI_MD_H_
