// The frame every JNI entry point runs: check the host's arguments, pin the host's arrays,
// call the routine's adapter, copy the message text out, release every array with copy-back
// and return the text as a new string. Entry points declare their arguments in parameter
// order and hand the adapter call to run(); nothing here keeps state beyond one call, and no
// exception leaves run().
#pragma once

#include <jni.h>

#include <array>
#include <cstdint>

namespace tovalin::jni {

// How the routine's message width W follows from the host's message array.
enum class MessageWidth {
  kFixed80,         // W = 80; the array needs at least 81 elements
  kLengthMinusOne,  // W = length - 1; the array needs at least 1 element
};

class Frame {
 public:
  // entryPoint: the host method's name, for the text of an internal error.
  Frame(JNIEnv* env, const char* entryPoint) noexcept : env_(env), entryPoint_(entryPoint) {}
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;
  // Releases, without copy-back, whatever an abnormal exit left pinned.
  ~Frame();

  // A count that must be at least minimum (by default: not negative).
  void count(const char* name, jint value, jint minimum = 0) noexcept;
  // A double[] the routine reads, of at least minimumLength elements; slot receives the
  // pinned elements.
  void doubles(const char* name, jdoubleArray array, std::int64_t minimumLength,
               double*& slot) noexcept;
  // A double[] the routine writes, of at least length elements (its output values).
  void results(const char* name, jdoubleArray array, std::int64_t length,
               double*& slot) noexcept;
  // A char[] of at least minimumLength elements; slot and length receive its elements.
  void chars(const char* name, jcharArray array, std::int64_t minimumLength,
             const jchar*& slot, jsize& length) noexcept;
  // The message byte[] (declared last).
  void message(jbyteArray array, MessageWidth width) noexcept;

  // Pins every declared array and calls routine(char* message, int width); then copies the
  // message text (up to its first zero byte, at most W characters) into a buffer of the
  // frame's own, releases every array with copy-back and returns the text. When a check
  // failed, nothing is pinned, no host array changes and the returned text begins
  // "Invalid arguments:" and names the parameter. When the virtual machine cannot supply
  // an array's elements, its OutOfMemoryError stays pending and the result is null. When
  // the routine throws, every output value becomes the undefined value, the message field
  // and the returned text "Internal error: <entry point>: <what the exception says>", and
  // every array is released with copy-back.
  template <class Routine>
  jstring run(Routine&& routine) noexcept {
    if (fault_[0] != '\0') return env_->NewStringUTF(fault_.data());
    if (!pinAll()) return nullptr;
    try {
      routine(reinterpret_cast<char*>(messageBytes_), messageWidth_);
    } catch (...) {
      return failInternally();
    }
    return finish();
  }

 private:
  static constexpr std::size_t kMaxDoubleArrays = 24;
  static constexpr std::size_t kFaultCapacity = 200;

  struct DoubleArray {
    jdoubleArray array = nullptr;
    double** slot = nullptr;
    jdouble* elements = nullptr;
    std::int64_t outputLength = 0;  // values the routine writes; 0 for an input
  };

  bool reject(const char* format, const char* name, long long a = 0, long long b = 0) noexcept;
  bool checkArray(const char* name, jarray array, std::int64_t minimumLength) noexcept;
  bool pinAll() noexcept;
  jstring finish() noexcept;
  // Called inside run()'s catch handler.
  jstring failInternally() noexcept;
  void releaseAll(jint mode) noexcept;

  JNIEnv* env_;
  const char* entryPoint_;
  std::array<char, kFaultCapacity> fault_{};
  std::array<DoubleArray, kMaxDoubleArrays> doubles_{};
  std::size_t doubleCount_ = 0;
  jcharArray charArray_ = nullptr;
  const jchar** charSlot_ = nullptr;
  jchar* charElements_ = nullptr;
  jbyteArray messageArray_ = nullptr;
  jbyte* messageBytes_ = nullptr;
  int messageWidth_ = 0;
};

}  // namespace tovalin::jni
